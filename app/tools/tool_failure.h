// Why a tool run failed, in the tool's own words: the line of its console
// text that a user would point at ("Invalid data found when processing
// input"), picked out of the stream information, progress lines and closing
// remarks around it.
#pragma once

#include <string>
#include <string_view>

// The last line of `output` that reads as the tool's complaint, without the
// "[component @ 0x...]" prefix and without a leading path ("/a/b.avi: ");
// "" when there is none. Lines that start with a blank (stream facts, the
// log's own notes) and progress or summary lines are passed over.
std::string ToolFailureLine(std::string_view output);
