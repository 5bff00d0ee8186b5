#include "patterns/lut.h"

#include "link/commands.h"
#include "link/link.h"
#include "patterns/command_run.h"

#include <cstring>

namespace lumora {

PatternLutTable PatternLut = {};
LutValidation lastLutValidation = {};

namespace {

std::chrono::milliseconds statusPollBound = kStatusPollBound;

// Sends a run of the one step, with the images when given.
RunRecord RunOneStep(StepKind kind, const std::uint8_t* images = nullptr, int imageCount = 0, bool exchangeTwo = false)
{
    CommandRun run;
    run.Add(kind);
    run.steps[0].exchangeTwoImages = exchangeTwo;
    if (kind == StepKind::PatternLutUpload) {
        run.tables.wordCount = static_cast<int>(PatternLut.count);
        std::memcpy(run.tables.words, PatternLut.entries, sizeof(std::uint32_t) * PatternLut.count);
    }
    if (images != nullptr) {
        run.tables.imageCount = imageCount;
        std::memcpy(run.tables.images, images, static_cast<std::size_t>(imageCount));
    }
    return RunCommands(run, false);
}

int ImageUpload(int count, const std::uint8_t* indices, bool exchangeTwo)
{
    if (count < 1 || count > kImageLutCapacity) {
        return -1;
    }
    const RunRecord record = RunOneStep(StepKind::ImageLutUpload, indices, count, exchangeTwo);
    return record.packets[2].bytes;  // the data packet's
}

}  // namespace

int OpenLutAccess(std::uint8_t selector) { return SendByteCommand(CmdLutAccess, selector); }

int CloseLutAccess() { return SendByteCommand(CmdLutAccess, kCloseLut); }

int SetLutOffset(std::uint8_t offset) { return SendByteCommand(CmdLutOffset, offset); }

int UploadPatternLut()
{
    if (PatternLut.count > kPatternLutCapacity) {
        return -1;
    }
    const RunRecord record = RunOneStep(StepKind::PatternLutUpload);
    // The open, and the data: offset and close are not looked at.
    return record.packets[0].bytes < 0 || record.packets[2].bytes < 0 ? -1 : 0;
}

int UploadImageLut(int count, const std::uint8_t* indices) { return ImageUpload(count, indices, true); }

int UploadImageLutInOrder(int count, const std::uint8_t* indices) { return ImageUpload(count, indices, false); }

void SetStatusPollBound(std::chrono::milliseconds bound) { statusPollBound = bound; }

std::chrono::milliseconds StatusPollBound() { return statusPollBound; }

void ClearLutValidation() { lastLutValidation = {}; }

int WaitLutValid(int& status)
{
    const RunRecord record = RunOneStep(StepKind::ValidateLuts);
    if (record.verdict != TableVerdict::Accepted && record.verdict != TableVerdict::Rejected) {
        return -1;
    }
    status = record.status;
    return 0;
}

}  // namespace lumora
