// qzcard: command-line host for QZ camera cards.
#include "CommandRegistry.h"

#include "CUHostError.h"
#include "CatalogRecorder.h"
#include "ExitCodes.h"
#include "QzcardVersion.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    CLI::App app{"qzcard: reads QZ camera recording cards"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("qzcard ") + qzimport::QzcardVersion());
    qzcard::CatalogRecorder::AddOptions(app);
    for (auto& install : qzcard::CommandInstallers()) install(app);
    // --catalog and --no-catalog may follow the command too (catalog has its own --catalog).
    for (CLI::App* command : app.get_subcommands([](CLI::App*) { return true; }))
        if (command->get_name() != "catalog") command->fallthrough();
    // The command that runs, to name it in messages.
    const auto command = [&app] {
        const auto ran = app.get_subcommands();
        return ran.empty() ? std::string("qzcard") : "qzcard " + ran.front()->get_name();
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {  // --help, --version
        return app.exit(e);
    } catch (const CLI::RuntimeError& e) {  // the command has said why
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        // Every refused argument, whatever CLI11 calls it, is a usage error.
        app.exit(e);
        return qzcard::kExitUsage;
    } catch (const ComVantoVantoQZ64RADPlug::CUHostError& e) {
        std::fprintf(stderr, "%s: %s\n", command().c_str(), e.what());
        return qzcard::ExitCodeOf(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", command().c_str(), e.what());
        return 1;
    }
    return 0;
}
