#include "app/tools/output_chunker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Reads `text` into the chunker in pieces of `readBytes` and collects the
// chunks it hands out, the rest included.
std::vector<std::string> Chunks(const std::string& text, std::size_t readBytes) {
    std::vector<std::string> chunks;
    OutputChunker chunker;
    for (std::size_t done = 0; done < text.size();) {
        std::span<char> space = chunker.FreeSpace();
        const std::size_t n = std::min({readBytes, space.size(), text.size() - done});
        text.copy(space.data(), n, done);
        done += n;
        const std::string_view chunk = chunker.Take(n);
        if (!chunk.empty()) chunks.emplace_back(chunk);
    }
    if (!chunker.Rest().empty()) chunks.emplace_back(chunker.Rest());
    return chunks;
}

TEST(OutputChunkerTest, ChunksEndAtLineEndsAndLoseNothing) {
    const std::string text = "Duration: 00:00:02.01, start\nframe=1 time=00:00:00.04\rframe=2 tail";
    const std::vector<std::string> chunks = Chunks(text, 5);
    std::string joined;
    for (const std::string& chunk : chunks) {
        joined += chunk;
        if (&chunk != &chunks.back()) {
            EXPECT_TRUE(chunk.back() == '\n' || chunk.back() == '\r');
        }
    }
    EXPECT_EQ(joined, text);
    EXPECT_EQ(chunks.back(), "frame=2 tail");
    EXPECT_EQ(chunks.front(), "Duration: 00:00:02.01, start\n");
}

TEST(OutputChunkerTest, ALongLineGoesOnInPiecesOfAtMost1024Bytes) {
    const std::string text = std::string(3000, 'x') + "\n";
    const std::vector<std::string> chunks = Chunks(text, 700);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].size(), 1024u);
    EXPECT_EQ(chunks[1].size(), 1024u);
    EXPECT_EQ(chunks[2].size(), 953u);
}

TEST(OutputChunkerTest, ReadsThatHoldSeveralLinesGiveOneChunkUpToTheLastLineEnd) {
    const std::vector<std::string> chunks = Chunks("a\nb\rc\nd", 1024);
    EXPECT_EQ(chunks, (std::vector<std::string>{"a\nb\rc\n", "d"}));
}

}  // namespace
