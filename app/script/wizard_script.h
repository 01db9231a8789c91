// The "wizard" lines of a scripted run, applied to the open disc-writer
// wizard as a user would work it (paths separated by tabs):
//   wizard kind dvd|svcd|vcd       the radio buttons "DVD", "SVCD", "VCD"
//   wizard titles PATH...          "Add MPEG File(s) to Burn" with these files
//   wizard pictures PATH...        "Add Image File(s) for DVD Menu Button"
//   wizard background PATH         "Browse" with this file
//   wizard preview PATH            saves the menu preview the pictures page
//                                  shows, as the build saves the menu (JPEG)
//   wizard select N                title N in the list
//   wizard up N, wizard down N     title N moved up or down
//   wizard picture-up N, picture-down N   the same for button picture N
//   wizard remove-titles, remove-pictures "Remove File(s)" of either list
//   wizard stop-after SECONDS      press "Stop" this long after the next
//                                  "wizard next" starts
//   wizard next                    creates the disc; returns when done
//   wizard stop                    "Stop" (only while a build runs)
//   wizard close                   closes the wizard
// ("wizard open" is the main window's "Burn Video"; the script runner
// handles it.)
#pragma once

#include <string>
#include <string_view>

class DiscWriterWizardModel;
class ScriptHost;

// `rest` is the line after "wizard "; returns why it could not be carried
// out, or "".
std::string RunWizardLine(DiscWriterWizardModel& wizard, std::string_view rest, ScriptHost& host);
