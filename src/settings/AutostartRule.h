#pragma once

#include <QString>

// How the options dialog treats the autostart entry. The entry is ours when it
// begins with the executable's full path (anything after it, such as arguments,
// is ignored).
namespace AutostartRule {

// What the dialog shows: ticked when the entry is non-empty and begins with the
// path, letter case ignored.
bool showsTicked(const QString& stored, const QString& executablePath);

// What OK does to the entry.
enum class TOkAction {
    WritePath, // the box is ticked: store the path, whatever was there
    Nothing,   // the box is off and there is no entry
    Remove,    // the box is off and the entry begins with the path exactly (letter case counts)
    Ask,       // the box is off and the entry belongs to another copy: ask before removing
};
TOkAction onOk(bool ticked, const QString& stored, const QString& executablePath);

// The caption and text of the question of TOkAction::Ask.
QString questionCaption();
QString questionText(const QString& stored);

// The box shown when the entry cannot be written: `removing` when the entry was
// to be emptied, `settingsSaved` when the settings file was written before.
QString writeFailureText(bool removing, bool settingsSaved);

} // namespace AutostartRule
