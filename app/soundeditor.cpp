#include "app/soundeditor.h"

#include "app/slotcommands.h"
#include "bank/slotcheck.h"
#include "bank/soundbank.h"
#include "seam/desktop.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <locale>
#include <memory>
#include <sstream>

namespace jbx {

namespace {

// "-40", "-40.5": as the user would type it back.
std::string DecibelText(double value)
{
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << value;
    return text.str();
}

// The summaries drawn last, kept while their sound's bytes live: opening the
// window again for a sound, or going back to a step by Undo, then reads no
// sample. Keyed by the bytes' owner, so a sound that changes (a new buffer)
// never meets an old summary. Only the windows' thread uses it.
class PeakMemo {
public:
    // columns 0 takes a summary of any width, for what all widths share.
    std::optional<PeakSummary> find(const SoundData& data, std::size_t size, std::size_t columns)
    {
        for (const Entry& entry : entries_) {
            if (entry.data.lock() == data && entry.size == size
                && (columns == 0 || entry.summary.columns == columns))
                return entry.summary;
        }
        return std::nullopt;
    }

    void keep(const SoundData& data, std::size_t size, const PeakSummary& summary)
    {
        entries_[next_] = {data, size, summary};
        next_ = (next_ + 1) % entries_.size();
    }

private:
    struct Entry {
        std::weak_ptr<Bytes> data;
        std::size_t size = 0;
        PeakSummary summary;
    };
    std::array<Entry, 8> entries_;
    std::size_t next_ = 0;
};

PeakMemo& Memo()
{
    static PeakMemo memo;
    return memo;
}

std::span<const std::uint8_t> FileBytes(const SoundData& data, std::size_t size)
{
    // The byte after the sound comes along, as for every slot operation: a
    // converted voice file keeps its RIFF pad byte there.
    return {data->data(), std::min(size + 1, data->size())};
}

} // namespace

bool CanEditSound(const SoundBank& bank, int slotNumber)
{
    return slotNumber >= 1 && slotNumber <= kSlotCount && bank.slot(slotNumber).size > 0
        && bank.slot(slotNumber).data;
}

SoundEditor::SoundEditor(Session& session, int slotNumber) : session_(session), slotNumber_(slotNumber)
{
    const SoundSlot& slot = session.bank.slot(slotNumber);
    steps_.push_back({slot.data, std::size_t(std::max(slot.size, 0)), 0, 0});
}

std::string SoundEditor::caption() const
{
    return "Sound " + std::to_string(slotNumber_) + " - " + session_.bank.slot(slotNumber_).name;
}

std::span<const std::uint8_t> SoundEditor::image() const
{
    return {current().data->data(), current().size};
}

bool SoundEditor::shapeable() const
{
    const auto format = ReadWaveFormat(FileBytes(current().data, current().size));
    return format && ReshapeTakes(*format);
}

namespace {

SlotCheck CheckStep(const SoundSlot& slot, int slotNumber, const SoundData& data, std::size_t size)
{
    SoundSlot shown;
    shown.name = slot.name;
    shown.size = std::int32_t(size);
    shown.data = data;
    return CheckSlot(shown, slotNumber);
}

} // namespace

std::string SoundEditor::formatText() const
{
    return DescribeSound(CheckStep(session_.bank.slot(slotNumber_), slotNumber_, current().data, current().size));
}

std::vector<std::string> SoundEditor::findings() const
{
    const SlotCheck check = CheckStep(session_.bank.slot(slotNumber_), slotNumber_, current().data, current().size);
    std::vector<std::string> lines;
    for (const std::string& problem : check.problems)
        lines.push_back("Problem: " + problem);
    for (const std::string& warning : check.warnings)
        lines.push_back("Warning: " + warning);
    if (lines.empty())
        lines.emplace_back("The game plays it as it is.");
    return lines;
}

std::string SoundEditor::sizeText() const
{
    return FormatSlotSize(std::int32_t(current().size));
}

std::string SoundEditor::waveformDescription() const
{
    const auto level = peakLevel();
    if (!level)
        return "no waveform: the samples are of a kind it cannot draw";
    std::string text = FixedSeconds(seconds(), 2) + " s, ";
    if (*level <= 0)
        return text + "silent";
    const double decibels = std::round(20 * std::log10(*level) * 10) / 10;
    const std::string figure = FixedSeconds(std::fabs(decibels), 1);
    return text + "peak " + (decibels < 0 ? std::string(kMinusSign) : std::string()) + figure + " dBFS";
}

std::uint64_t SoundEditor::frames() const
{
    return WaveFrames(FileBytes(current().data, current().size));
}

std::uint16_t SoundEditor::channels() const
{
    const auto format = ReadWaveFormat(FileBytes(current().data, current().size));
    return format ? format->channels : 0;
}

double SoundEditor::seconds() const
{
    const auto format = ReadWaveFormat(FileBytes(current().data, current().size));
    if (!format || format->sampleRate == 0)
        return 0;
    return double(frames()) / format->sampleRate;
}

std::optional<PeakSummary> SoundEditor::peaks(std::size_t columns) const
{
    const Step& step = current();
    if (auto kept = Memo().find(step.data, step.size, columns))
        return kept;
    auto summary = SoundPeaks(FileBytes(step.data, step.size), columns);
    if (summary)
        Memo().keep(step.data, step.size, *summary);
    return summary;
}

std::optional<double> SoundEditor::peakLevel() const
{
    auto summary = Memo().find(current().data, current().size, 0);
    if (!summary)
        summary = peaks(1);
    return summary ? std::optional(summary->peakLevel) : std::nullopt;
}

std::vector<TimeMark> SoundEditor::timeScale(int width, int minimumGap) const
{
    const double length = seconds();
    std::vector<TimeMark> marks;
    if (width <= 0 || length <= 0)
        return marks;
    const double pixelsPerSecond = width / length;
    // 0.001, 0.002, 0.005, 0.01, ...: the first round step wide enough.
    double step = 0.001;
    int decimals = 3;
    for (int i = 0; step * pixelsPerSecond < std::max(minimumGap, 1); ++i) {
        static constexpr std::array<double, 3> kFactors{2, 2.5, 2};
        step *= kFactors[std::size_t(i % 3)];
        if (i % 3 == 2 && decimals > 0)
            --decimals;
    }
    for (std::uint64_t k = 0;; ++k) {
        const double at = double(k) * step;
        if (at > length * (1 + 1e-9))
            break;
        std::string label = FixedSeconds(at, decimals);
        if (label.find('.') != std::string::npos) {
            label.erase(label.find_last_not_of('0') + 1);
            if (label.back() == '.')
                label.pop_back();
        }
        marks.push_back({int(std::lround(at * pixelsPerSecond)), label + " s"});
    }
    return marks;
}

FrameRange SoundEditor::selection() const
{
    return {std::min(anchor_, caret_), anchor_ > caret_ ? anchor_ - caret_ : caret_ - anchor_};
}

void SoundEditor::pressAt(std::uint64_t frame)
{
    anchor_ = caret_ = std::min(frame, frames());
}

void SoundEditor::dragTo(std::uint64_t frame)
{
    caret_ = std::min(frame, frames());
}

void SoundEditor::moveCaret(SelectionKey key, bool shift, std::uint64_t step)
{
    const std::uint64_t end = frames();
    switch (key) {
    case SelectionKey::Left:
        caret_ = caret_ > step ? caret_ - step : 0;
        break;
    case SelectionKey::Right:
        caret_ = end - std::min(caret_, end) > step ? caret_ + step : end;
        break;
    case SelectionKey::Home:
        caret_ = 0;
        break;
    case SelectionKey::End:
        caret_ = end;
        break;
    }
    if (!shift)
        anchor_ = caret_;
}

void SoundEditor::selectAll()
{
    anchor_ = 0;
    caret_ = frames();
}

bool SoundEditor::canRun(SoundCommand command) const
{
    if (command == SoundCommand::Undo)
        return steps_.size() > 1;
    const auto format = ReadWaveFormat(FileBytes(current().data, current().size));
    if (!format || !ReshapeTakes(*format))
        return false;
    switch (command) {
    case SoundCommand::TrimToSelection:
        return selection().count > 0 && selection().count < frames();
    case SoundCommand::TrimSilence:
    case SoundCommand::Normalize:
        return frames() > 0;
    case SoundCommand::MakeMono:
        return format->channels > 1;
    case SoundCommand::MakeEightBit:
        return format->bitsPerSample > 8 || format->encoding != SampleEncoding::Pcm;
    case SoundCommand::Undo:
        break;
    }
    return false;
}

bool SoundEditor::run(SoundCommand command, std::string_view field)
{
    if (!canRun(command))
        return false;
    Desktop& desktop = session_.desktop;
    const auto bytes = FileBytes(current().data, current().size);
    const FrameRange selected = selection();
    switch (command) {
    case SoundCommand::Undo:
        steps_.pop_back();
        anchor_ = current().anchor;
        caret_ = current().caret;
        return true;
    case SoundCommand::TrimToSelection:
        return take(TrimTo(bytes, selected.first, selected.count), true);
    case SoundCommand::TrimSilence: {
        const auto threshold = ParseDecibels(field, kLowestSilenceDb);
        if (!threshold) {
            ShowError(desktop,
                "The silence threshold must be a number from " + DecibelText(kLowestSilenceDb) + " to 0 dBFS.",
                Owner::Dialog);
            return false;
        }
        ReshapeResult trimmed = TrimSilence(bytes, *threshold);
        if (trimmed.image && WaveFrames(*trimmed.image) == 0) {
            desktop.showMessage({"The whole sound is below " + DecibelText(*threshold)
                    + " dBFS, so trimming its silence would leave nothing.",
                std::string(kWarningCaption), MessageButtons::Ok, MessageIcon::Exclamation, Owner::Dialog});
            return false;
        }
        return take(std::move(trimmed), true);
    }
    case SoundCommand::Normalize: {
        const auto level = ParseDecibels(field, kLowestNormalizeDb);
        if (!level) {
            ShowError(desktop, "The level must be a number from " + DecibelText(kLowestNormalizeDb) + " to 0 dBFS.",
                Owner::Dialog);
            return false;
        }
        if (const auto level = peakLevel(); level && *level <= 0) {
            desktop.showMessage({"The sound is silent, so it has no level to bring up.", std::string(kWarningCaption),
                MessageButtons::Ok, MessageIcon::Exclamation, Owner::Dialog});
            return false;
        }
        return take(Normalize(bytes, *level), false);
    }
    case SoundCommand::MakeMono:
        return take(ReshapeWave(bytes, {.mono = true}), false);
    case SoundCommand::MakeEightBit:
        return take(ReshapeWave(bytes, {.eightBit = true}), false);
    }
    return false;
}

bool SoundEditor::take(ReshapeResult result, bool framesMoved)
{
    if (!result.image)
        return false;
    Bytes& shaped = *result.image;
    const std::span<const std::uint8_t> now = image();
    if (shaped.size() == now.size() && std::equal(shaped.begin(), shaped.end(), now.begin()))
        return false;
    steps_.back().anchor = anchor_;
    steps_.back().caret = caret_;
    const std::size_t size = shaped.size();
    shaped.push_back(kPadByte);
    steps_.push_back({std::make_shared<Bytes>(std::move(shaped)), size, 0, 0});
    if (framesMoved)
        anchor_ = caret_ = 0;
    return true;
}

bool SoundEditor::changed() const
{
    return steps_.size() > 1;
}

void SoundEditor::play()
{
    const FrameRange selected = selection();
    if (selected.count == 0 || !shapeable()) {
        session_.desktop.playSound(current().data);
        return;
    }
    ReshapeResult part = TrimTo(FileBytes(current().data, current().size), selected.first, selected.count);
    if (!part.image)
        return;
    part.image->push_back(kPadByte);
    session_.desktop.playSound(std::make_shared<Bytes>(std::move(*part.image)));
}

void SoundEditor::keep()
{
    if (!changed())
        return;
    SoundSlot& slot = session_.bank.slot(slotNumber_);
    slot.data = current().data;
    slot.size = std::int32_t(current().size);
    slot.fileOffset = 0;
}

} // namespace jbx
