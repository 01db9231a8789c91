#include "sdk/foximager/authoring_xml.h"

#include "sdk/foximager/menu_buttons.h"

namespace foximager {

std::string AuthoringXml(const AuthoringPlan& plan) {
    const std::string video = "<video format=\"" + std::string(StandardName(plan.standard)) + "\"";
    const bool menu = !plan.menu.empty();
    std::string xml = "<dvdauthor dest=\"" + XmlEscaped(plan.destination) + "\">\n <vmgm>\n";
    if (menu) xml += "  <fpc>jump vmgm menu 1;</fpc>\n";
    xml += "  <menus>\n   " + video;
    if (menu) {
        xml += std::string(" aspect=\"") + (plan.wideMenu ? "16:9" : "4:3") + "\"/>\n";
        xml += "   <pgc entry=\"title\">\n";
        for (std::size_t i = 1; i <= plan.titles.size(); ++i) {
            const std::string n = std::to_string(i);
            xml += "    <button name=\"" + n + "\">jump title " + n + ";</button>\n";
        }
        xml += "    <vob file=\"" + XmlEscaped(plan.menu) + "\" pause=\"inf\"/>\n   </pgc>\n";
    } else {
        xml += "/>\n";
    }
    xml += "  </menus>\n </vmgm>\n";
    for (const std::string& title : plan.titles) {
        xml += " <titleset>\n  <titles>\n   " + video + "/>\n   <pgc>\n    <vob file=\"" +
               XmlEscaped(title) + "\"/>\n";
        if (menu) xml += "    <post>call vmgm menu 1;</post>\n";
        xml += "   </pgc>\n  </titles>\n </titleset>\n";
    }
    return xml + "</dvdauthor>\n";
}

}  // namespace foximager
