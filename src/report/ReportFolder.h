#pragma once
// The report's folder, DIR/index.html with its pictures in DIR/thumbs/ and
// DIR/report.json, kept one whole page at every moment. Each run's
// thumbnails carry the run's own id in their names
// ("1-2-QZ0002-1.<run>.jpg"), so a run never writes over a picture the page
// in place shows. Commit puts a run's set in place in the order that keeps
// the page whole: the thumbnails (synced in one go, then renamed), then
// report.json, then index.html, the commit point; only then are the
// thumbnails it does not show removed. An interruption or a kill at any
// moment leaves the page before (with its thumbnails) or the page after
// (with its own); report.json may already be the new one beside the old
// page, each naming thumbnails that exist. The folder is held under the
// output folder lock (OutputFolderLock) from construction to destruction,
// and partials that a killed run left are swept at the start. Used by one
// thread.
#include "OutputFolderLock.h"
#include "ThumbnailMaker.h"

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace qzreport {

class ReportFolder {
public:
    // Makes DIR and DIR/thumbs when missing and takes the lock, waiting up
    // to `waitSeconds`. Throws ReportError (kSetup) for a folder that cannot
    // be made, ImportError from the lock (kBusy, kSetup, kInterrupted).
    ReportFolder(const std::string& folder, double waitSeconds);

    // Where the `k`th thumbnail (1-based) of clip `clip` of card `card`
    // (1-based) is written.
    std::string ThumbnailPath(size_t card, size_t clip, const std::string& clipId, unsigned k) const;
    std::string ThumbnailFolder() const { return m_thumbs; }
    // A thumbnail's path as the page and the JSON name it: "thumbs/NAME".
    std::string PageRelative(const std::string& thumbnail) const;
    std::string PagePath() const;
    std::string JsonPath() const;

    // Puts the run's set in place as above: the thumbnails `pictures` made
    // (finished, not synced), report.json holding `json`, index.html holding
    // `page`, then removes every thumbnail in DIR/thumbs whose name is not in
    // `shown`. Throws ReportError (kSetup) for what cannot be written; the
    // page in place is then the one before.
    void Commit(const std::vector<ClipPictures>& pictures, const std::string& json, const std::string& page,
                const std::set<std::string>& shown);

private:
    void CommitThumbnails(const std::vector<ClipPictures>& pictures);

    std::string m_folder;
    qzimport::OutputFolderLock m_lock;
    std::string m_thumbs;
    std::string m_run;  // this run's id, in its thumbnails' names
};

}  // namespace qzreport
