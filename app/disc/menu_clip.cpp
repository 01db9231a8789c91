#include "app/disc/menu_clip.h"

#include <unistd.h>

#include "app/tools/tool_runner.h"
#include "platform/command_line.h"
#include "platform/file_moves.h"
#include "platform/temp_folder.h"

std::string MenuClipCommand(const std::string& picture, const std::string& videoCodec,
                            const std::string& output) {
    std::string frames;
    for (int i = 0; i < kMenuClipPictures; ++i) frames += (i == 0 ? "" : ",") + picture;
    return "mencoder mf://" + frames + " -mf w=" + std::to_string(kMenuWidth) +
           ":h=" + std::to_string(kMenuHeight) +
           ":fps=25:type=jpg -ovc lavc -lavcopts vcodec=" + videoCodec +
           ":mbd=2:trell -oac copy -o " + output;
}

std::string MakeMenuClip(const MenuClipSetup& setup, const MenuPictureRequest& request,
                         std::vector<ButtonRect>& buttons) {
    const std::string clip = setup.exportFolder + kMenuClipName;
    unlink(clip.c_str());
    const std::string picture = ComposeMenuPicture(request, setup.exportFolder, buttons);

    // mencoder takes its names unquoted and its picture list split at
    // commas, so an export folder that has either works through the
    // temporary folder.
    const bool plain = platform::IsOneWord(setup.exportFolder) &&
                       setup.exportFolder.find(',') == std::string::npos;
    const std::string workFolder = plain ? setup.exportFolder : platform::TempFolder();
    const std::string toolPicture = workFolder + kMenuPictureName;
    const std::string workClip = workFolder + kMenuWorkClipName;
    if (!plain) platform::PlaceStandIn(picture, toolPicture);

    ToolRunner runner(*setup.context, FfmpegOutput);
    runner.SetCommandPrefix(MenuClipCommand(toolPicture, setup.videoCodec, workClip));
    runner.Run("", "", "");
    setup.convertFile(workClip, clip);

    unlink(workClip.c_str());
    if (!plain) platform::RemoveName(toolPicture);
    if (!picture.empty()) unlink(picture.c_str());
    return clip;
}
