#pragma once
// Mapping files written by tests: each rule with one condition, in the program's own file format.

#include <QString>

#include <initializer_list>

namespace TestSupport {

/// One rule. The defaults: types `keys` to the focused application while Push is above 0.5.
struct RuleText {
    const char* name = "rule";
    const char* keys = "";
    int action = 19;     ///< the condition's detection (19: Push)
    bool binary = false; ///< a binary detection that holds when on, instead of "above 0.5"
    int player = 0;
    bool holdKey = false; ///< hold the keys while the condition holds
    int holdTime = 20;
    int hotKey = 0; ///< a Qt key code: send it as a hot key, with the modifiers below
    bool ctrl = false;
    bool shift = false;
    int mouseButton = -1; ///< a click instead of keys: 0 left, 1 middle, 2 right, 3 double, 4 held left
};

inline QString mappingFileText(const char* fileName, std::initializer_list<RuleText> rules)
{
    QString text = QStringLiteral("<SenMappingModel mappingName=\"%1\" >\n").arg(QLatin1String(fileName));
    for (const RuleText& rule : rules) {
        text += QStringLiteral("    <SenMapping enabled=\"1\" name=\"%1\" keys=\"%2\" sendOnce=\"1\" sendToFocus=\"1\" "
                               "targetApp=\"\" sendHotKeys=\"%3\" ctrlKey=\"%4\" altKey=\"0\" shiftKey=\"%5\" "
                               "winKey=\"0\" enterKey=\"0\" hotKey=\"%6\" holdKey=\"%7\" holdTime=\"%8\" "
                               "triggerDelayTime=\"20\" player=\"%9\" ")
                    .arg(QLatin1String(rule.name), QLatin1String(rule.keys))
                    .arg(rule.hotKey != 0 ? 1 : 0)
                    .arg(rule.ctrl ? 1 : 0)
                    .arg(rule.shift ? 1 : 0)
                    .arg(rule.hotKey)
                    .arg(rule.holdKey ? 1 : 0)
                    .arg(rule.holdTime)
                    .arg(rule.player);
        text += QStringLiteral("mouseclickset=\"%1\" mousebutnum=\"%2\">\n"
                               "        <SenStateCondition>\n"
                               "            <enabled value=\"1\" />\n"
                               "            <action value=\"%3\" />\n"
                               "            <threshold type=\"%4\" value=\"%5\" />\n"
                               "            <actionRule value=\"%6\" />\n"
                               "        </SenStateCondition>\n"
                               "    </SenMapping>\n")
                    .arg(rule.mouseButton >= 0 ? 1 : 0)
                    .arg(rule.mouseButton)
                    .arg(rule.action)
                    .arg(QLatin1String(rule.binary ? "bool" : "double"), QLatin1String(rule.binary ? "true" : "0.5"))
                    .arg(rule.binary ? 0 : 2);
    }
    return text + QStringLiteral("</SenMappingModel>\n");
}

} // namespace TestSupport
