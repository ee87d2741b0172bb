// qzcard: command-line host for QZ camera cards.
#include "CommandRegistry.h"

#include <cstdio>
#include <exception>

namespace qzcard {

std::vector<CommandInstaller>& CommandInstallers() {
    static std::vector<CommandInstaller> installers;
    return installers;
}

bool RegisterCommand(CommandInstaller installer) {
    CommandInstallers().push_back(std::move(installer));
    return true;
}

}  // namespace qzcard

int main(int argc, char** argv) {
    CLI::App app{"qzcard: reads QZ camera recording cards"};
    app.require_subcommand(1);
    for (auto& install : qzcard::CommandInstallers()) install(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qzcard: %s\n", e.what());
        return 1;
    }
    return 0;
}
