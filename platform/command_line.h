// Command lines as the program builds them: one text, its words separated by
// blanks, a double-quoted stretch kept as part of one word. Tools are started
// from the words directly, so no shell ever sees the text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The words of a command line. Blanks and tabs separate words; a pair of
// double quotes groups what lies between them (blanks included) into the
// current word and is itself dropped, so `a "b c"d ""` gives a, b cd and an
// empty word. An unmatched quote runs to the end of the text.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// True when the text would reach a tool as it is, as part of a single word:
// it holds no blank, tab, line end or double quote. Paths that are not are
// handed to tools under a temporary name instead.
bool IsOneWord(std::string_view text);

}  // namespace platform
