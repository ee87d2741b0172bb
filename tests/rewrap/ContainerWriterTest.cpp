// The MOV and MXF writers refusing a stream they cannot describe: the reason
// names what (libavformat's own sentence where it refused), and no file is
// left. What the writers write is checked through qzcard export
// (ExportFormatsTest.cpp).
#include "ContainerPlan.h"
#include "ImportError.h"
#include "OutputFormatNamed.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(ContainerWriter, RefusesAStreamItCannotDescribeAndLeavesNothing) {
    using qzrewrap::Container;
    struct Row {
        Container container;
        void (*change)(qzimport::ExportStreamInfo&);
        const char* reason;
    };
    const Row rows[] = {
        {Container::kMxf,  // libavformat's refusal, with a start timecode the plan takes
         [](qzimport::ExportStreamInfo& s) { s.timescale = 15, s.frameDuration = 1, s.startTimecode = ""; },
         "(Unsupported frame rate 15/1"},
        {Container::kMov, [](qzimport::ExportStreamInfo& s) { s.startTimecode = "01:00:00;30"; },
         "is no timecode at 30 frames per second"},
        {Container::kMxf, [](qzimport::ExportStreamInfo& s) { s.timescale = 25, s.frameDuration = 1; },
         "drop-frame timecode at 25"},
        {Container::kMov, [](qzimport::ExportStreamInfo& s) { s.bitsPerSample = 20; }, "20-bit"},
    };
    for (const Row& row : rows) {
        const qztest::ScratchFolder folder("rewrap-refused");
        qzimport::ExportStreamInfo stream;
        stream.timescale = 30000, stream.frameDuration = 1001, stream.width = 1920, stream.height = 1080;
        stream.soundTracks = 2, stream.startTimecode = "01:00:00;02", stream.dropFrame = true;
        row.change(stream);
        try {
            qzrewrap::OutputFormatNamed(qzrewrap::ContainerName(row.container))
                ->CreateWriter(folder.Path(), "X", {})
                ->Begin(stream);
            ADD_FAILURE() << row.reason << ": not refused";
        } catch (const qzimport::ImportError& e) {
            EXPECT_NE(std::string(e.what()).find(row.reason), std::string::npos) << e.what();
        }
        EXPECT_TRUE(std::filesystem::is_empty(folder.Path())) << row.reason;
    }
}

}  // namespace
