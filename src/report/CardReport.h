#pragma once
// `qzcard report`: the report of a shooting day's cards for people and
// scripts. Gathers each card (its clips as `list` shows them, every clip
// value's meaning, a thumbnail or several per clip), the recordings across
// the cards as `spans` finds them, with --check each clip's `verify` result
// (pictures decoded too), with --copies each copy's ASC MHL history next
// to the card it copies and with --dailies each clip's daily; puts DIR/thumbs/*.jpg, DIR/report.json and,
// last, DIR/index.html in place as one set under the output folder lock (ReportFolder). Write() is called by
// one thread (thumbnails are made on a pool of its own).
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace qzreport {

struct ReportOptions {
    std::vector<std::string> cards;
    std::string output;               // the report's folder (made when missing)
    unsigned thumbnails = 1;          // per clip, 0 to 10
    std::string at = "10%";           // where the first is taken (ThumbnailPoint)
    bool check = false;               // verify every clip and decode its pictures
    std::vector<std::string> copies;  // offload destinations' card copies
    std::string dailies;              // a folder of H.264 proxies (export --format proxy); empty: none
    double waitSeconds = 0;           // for another export or report holding the output folder
    std::string plugin;               // bundle for --check; empty: the build's
    std::string hostVersion = "11.0";
    unsigned threads = 2;                              // thumbnail workers
    int thumbnailWidth = 480;                          // pixels
    std::function<void(const std::string&)> progress;  // a line of progress; may be empty
};

struct ReportResult {
    std::string page;  // DIR/index.html
    std::string json;  // DIR/report.json
    std::string thumbnailFolder;
    size_t cards = 0, clips = 0, thumbnails = 0;
    size_t problems = 0;      // of the clips, found by --check (as `verify` counts them)
    size_t unlisted = 0;      // entries of the clips folders no clip names, found by --check
    size_t dailies = 0;       // clips whose daily was found in --dailies
    size_t failedCopies = 0;  // copies whose history is missing, refused or has failed files
};

class CardReport {
public:
    // A card given twice (the same medium or folder) is shown once.
    // Throws ReportError (kUsage for options and for an output inside a
    // card, kSetup for the output or the plug-in) and ImportError (kNotACard for a folder that is not a card,
    // kBusy, kInterrupted while waiting for the folder); CUInterrupted
    // for a signal before the set is put in place (nothing of it then is).
    static ReportResult Write(const ReportOptions& options);
};

}  // namespace qzreport
