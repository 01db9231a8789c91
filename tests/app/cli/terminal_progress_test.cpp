#include "app/cli/terminal_progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <sstream>
#include <string>

namespace {

FileProgress At(std::string name, std::optional<int> percent, int elapsed,
                std::optional<int> remaining) {
    return FileProgress{std::move(name), percent, elapsed, remaining};
}

std::size_t Count(const std::string& text, char c) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), c));
}

TEST(TerminalProgressTest, TimesAndPercentages) {
    EXPECT_EQ(DurationText(0), "00:00");
    EXPECT_EQ(DurationText(59), "00:59");
    EXPECT_EQ(DurationText(60), "01:00");
    EXPECT_EQ(DurationText(3599), "59:59");
    EXPECT_EQ(DurationText(3600), "1:00:00");
    EXPECT_EQ(DurationText(36000 + 62), "10:01:02");
    EXPECT_EQ(DurationText(INT_MAX), "596523:14:07");
    EXPECT_EQ(DurationText(-1), "--:--");
    EXPECT_EQ(DurationText(std::nullopt), "--:--");

    EXPECT_EQ(ProgressLine(At("clip.mp4", 42, 12, 17), 80),
              "clip.mp4  [############..................]   42%  00:12  left 00:17");
    EXPECT_EQ(ProgressLine(At("clip.mp4", 0, 0, std::nullopt), 80),
              "clip.mp4  [..............................]    0%  00:00  left --:--");
    EXPECT_EQ(ProgressLine(At("clip.mp4", 100, 3725, 0), 80),
              "clip.mp4  [##############################]  100%  1:02:05  left 00:00");
    // Without a duration there is no percentage to show, and nothing to go by
    // for the time left.
    EXPECT_EQ(ProgressLine(At("clip.mp4", std::nullopt, 5, std::nullopt), 80),
              "clip.mp4  [..............................]   --%  00:05  left --:--");
    // What a tool's odd figures may give is held to 0..100.
    EXPECT_EQ(ProgressLine(At("c", 250, 1, 0), 80), ProgressLine(At("c", 100, 1, 0), 80));
    EXPECT_EQ(ProgressLine(At("c", -5, 1, 0), 80), ProgressLine(At("c", 0, 1, 0), 80));
}

TEST(TerminalProgressTest, NamesAreMadePrintableAndCountedInColumns) {
    EXPECT_EQ(PrintableName("a\rb\nc\x1b[2Jd\te\x7f"), "a?b?c?[2Jd?e?");
    // Broken UTF-8: a stray byte, a cut sequence, an overlong form, a
    // surrogate, a C1 control character, beyond U+10FFFF.
    EXPECT_EQ(PrintableName("\xff"), "?");
    EXPECT_EQ(PrintableName("x\xc3"), "x?");
    EXPECT_EQ(PrintableName("\xc0\xaf"), "??");
    EXPECT_EQ(PrintableName("\xed\xa0\x80"), "???");
    EXPECT_EQ(PrintableName("\xc2\x85"), "?");
    EXPECT_EQ(PrintableName("\xf4\x90\x80\x80"), "????");
    const std::string good = "été 日本語 e\xcc\x81 \xf0\x9f\x8e\xac.mp4";
    EXPECT_EQ(PrintableName(good), good);

    EXPECT_EQ(TextColumns("abc"), 3);
    EXPECT_EQ(TextColumns("été"), 3);
    EXPECT_EQ(TextColumns("日本語"), 6);
    EXPECT_EQ(TextColumns("e\xcc\x81"), 1);         // e and a combining acute
    EXPECT_EQ(TextColumns("\xf0\x9f\x8e\xac"), 2);  // a clapper board
    EXPECT_EQ(TextColumns("\xff\xfe"), 2);          // shown as "??"
}

// A UTF-8 text that PrintableName leaves alone: whole characters, nothing
// that moves the cursor.
bool Printable(const std::string& text) { return PrintableName(text) == text; }

TEST(TerminalProgressTest, LinesFitTheWidthWhateverTheName) {
    const std::string names[] = {
        "",
        "a.avi",
        std::string(300, 'x') + ".mp4",
        "Vidéo de l'été — très longue, avec des accents partout, encore et encore.mkv",
        "日本語のとても長いファイル名の動画ファイルです日本語のとても長い名前.mp4",
        std::string(40, 'e') + std::string(40, '\xcc') + "\x81",
        "e\xcc\x81\xcc\x81\xcc\x81" + std::string(100, 'q'),
        "\xf0\x9f\x8e\xac\xf0\x9f\x8e\xac\xf0\x9f\x8e\xac\xf0\x9f\x8e\xac clip.mp4",
        "bad \xff\xfe\xc3 bytes \x1b[31m and\r\nlines " + std::string(60, '-') + ".avi",
    };
    for (const std::string& name : names) {
        for (int width = 0; width <= 160; ++width) {
            for (const std::optional<int> percent :
                 {std::optional<int>(), std::optional(0), std::optional(57), std::optional(100)}) {
                const std::string line = ProgressLine(At(name, percent, 3725, 12), width);
                SCOPED_TRACE("width " + std::to_string(width) + ": [" + line + "]");
                EXPECT_LE(TextColumns(line), std::max(width - 1, 0));
                EXPECT_TRUE(Printable(line));
            }
        }
        // Wide enough, the name is there whole.
        const std::string wide = ProgressLine(At(name, 1, 1, 1), 1000);
        EXPECT_TRUE(wide.starts_with(PrintableName(name) + "  [")) << wide;
    }
}

TEST(TerminalProgressTest, LongNamesKeepTheirStartAndEnd) {
    const std::string name = "/home/user/Videos/" + std::string(100, 'm') + "/holiday part 2.mp4";
    const std::string line = ProgressLine(At(name, 50, 1, 1), 80);
    EXPECT_EQ(TextColumns(line), 79) << line;
    EXPECT_TRUE(line.starts_with("/home/user/Videos/m...holiday part 2.mp4  [#####.....]")) << line;

    // Multibyte characters are never cut in two, on either side of "...".
    std::string accents;
    for (int i = 0; i < 60; ++i) accents += i % 2 ? "é" : "日";
    for (int width = 30; width < 60; ++width) {
        const std::string cut = ProgressLine(At(accents, 50, 1, 1), width);
        EXPECT_TRUE(Printable(cut)) << width;
        EXPECT_NE(cut.find("..."), std::string::npos) << width;
        EXPECT_LE(TextColumns(cut), width - 1);
        // A wide character that no longer fits leaves at most one column free.
        EXPECT_GE(TextColumns(cut), width - 2) << cut;
    }

    // Narrow: the bar gives way first, then the times, then the name is cut.
    EXPECT_EQ(ProgressLine(At("abcdefghijkl.avi", 5, 1, 1), 56),
              "abcdefghijkl.avi  [..........]    5%  00:01  left 00:01");
    EXPECT_EQ(ProgressLine(At("abcdefghijkl.avi", 5, 1, 1), 55),
              "abcdef...kl.avi  [..........]    5%  00:01  left 00:01");
    EXPECT_EQ(ProgressLine(At("abcdefghijkl.avi", 5, 1, 1), 40),
              "abcdef...l.avi    5%  00:01  left 00:01");
    EXPECT_EQ(ProgressLine(At("abcdefghijkl.avi", 5, 1, 1), 30), "abcdefghijkl.avi    5%");
    EXPECT_EQ(ProgressLine(At("abcdefghijkl.avi", 5, 1, 1), 23), "abcdefghijkl.avi    5%");
    EXPECT_EQ(ProgressLine(At("abcdefghijkl.avi", 5, 1, 1), 10), "abc...avi");
    // A combining mark whose letter was left out does not land on the "...".
    EXPECT_EQ(ProgressLine(At(std::string(40, 'a') + "e\xcc\x81zzz", 5, 1, 1), 10), "aaa...zzz");
}

TEST(TerminalProgressTest, ATerminalGetsOneLineRedrawnInPlace) {
    std::ostringstream out;
    TerminalProgress progress(out, ProgressOutput::kTerminal, 60);
    progress.Update(At("one.avi", 0, 0, std::nullopt));
    progress.Update(At("one.avi", 0, 0, std::nullopt));  // nothing new: no redraw
    progress.Update(At("one.avi", 50, 3600, 3600));
    progress.Update(At("one.avi", 60, 5, 4));  // shorter: the rest is blanked
    progress.End(At("one.avi", 100, 10, 0), FileResult::kConverted);
    progress.Update(At("two.avi", 10, 1, 9));
    progress.End(At("two.avi", 30, 3, std::nullopt), FileResult::kFailed);

    const std::string text = out.str();
    EXPECT_EQ(Count(text, '\n'), 2u) << text;
    EXPECT_EQ(Count(text, '\r'), 6u) << text;
    const std::string first = text.substr(0, text.find('\n'));
    const std::string second = text.substr(text.find('\n') + 1);
    // Each redraw starts at the line's start; the last one is the result.
    EXPECT_EQ(first.substr(first.rfind('\r') + 1),
              "one.avi  [###################]  100%  00:10  converted ");
    EXPECT_EQ(second.substr(second.rfind('\r') + 1),
              "two.avi  [#####..............]   30%  00:03  failed    \n");
    const std::string third = first.substr(0, first.rfind('\r'));
    const std::string blanked = third.substr(third.rfind('\r') + 1);
    EXPECT_EQ(blanked, "one.avi  [###########........]   60%  00:05  left 00:04    ");
}

TEST(TerminalProgressTest, PlainOutputHasOneWholeLinePerFile) {
    std::ostringstream out;
    TerminalProgress progress(out, ProgressOutput::kPlainLines, 20);
    const std::string name = "a long name that no narrow terminal would hold\n.avi";
    for (int percent = 0; percent <= 100; percent += 10) {
        progress.Update(At(name, percent, percent, 100 - percent));
    }
    EXPECT_EQ(out.str(), "");
    progress.End(At(name, 100, 100, 0), FileResult::kConverted);
    progress.End(At("b.avi", std::nullopt, 3725, std::nullopt), FileResult::kStopped);
    EXPECT_EQ(out.str(),
              "a long name that no narrow terminal would hold?.avi  100%  01:40  converted\n"
              "b.avi  --%  1:02:05  stopped\n");
}

TEST(TerminalProgressTest, TheSummarySaysWhatHappenedAndWhere) {
    RunSummary summary;
    summary.convertedCount = 3;
    summary.outputs = {"/home/u/ZarvoExport/"};
    EXPECT_EQ(SummaryText(summary), "Converted 3 of 3 files.\nOutput: /home/u/ZarvoExport/\n");
    EXPECT_EQ(FailuresText(summary), "");

    summary.convertedCount = 1;
    summary.outputs.clear();
    EXPECT_EQ(SummaryText(summary), "Converted 1 of 1 file.\n");

    summary.convertedCount = 2;
    summary.failed = {{"broken.avi", "Conversion failed: ffmpeg could not read the file"},
                      {"two\nlines.mp4", "first line\r\n\r\n  \n second line\r\n"},
                      {"no reason.avi", ""}};
    summary.stoppedCount = 2;
    summary.outputs = {"/out/DVD/", "/img/dvd.iso"};
    EXPECT_EQ(SummaryText(summary),
              "Converted 2 of 7 files; 3 failed; stopped, 2 not converted.\n"
              "Output: /out/DVD/\nOutput: /img/dvd.iso\n");
    EXPECT_EQ(FailuresText(summary),
              "failed: broken.avi: Conversion failed: ffmpeg could not read the file\n"
              "failed: two?lines.mp4: first line\n"
              "     second line\n"
              "failed: no reason.avi\n");
}

}  // namespace
