// The language state applied to widgets: relabelling windows and menus from
// the caption lines, the caption dump of the first main window, and loading a
// language file with its warning.
//
// Widgets are seen as the caption lines name them: a widget with an object
// name (not one of Qt's own "qt_..." names) is a control; labels, tool
// buttons and paint boxes are plain; a group box whose "kalixRadioGroup"
// property is set is a radio group whose items are its radio buttons; every
// other widget is a container. Menus are not controls; text views show
// documents, not captions, so their text is neither dumped nor replaced.
#pragma once

#include "i18n/Language.h"

#include <string>

class QMenu;
class QMenuBar;
class QWidget;

namespace kalix::ui {

class TfrmMain;

// The control tree of a widget, as the dump and the relabelling see it.
CaptionControl ControlTree(QWidget* widget);

// The menu tree of a menu bar or a pop-up menu, from its (unnamed) root.
CaptionMenuItem MenuTree(QMenuBar* bar);
CaptionMenuItem MenuTree(QMenu* menu);

// ApplyLanguageToControls on a widget and its children.
void ApplyLanguageToWidgets(const char* formName, QWidget* root);

// ApplyLanguageToMenu on the main menu, popGrid and popText of a main window.
void ApplyLanguageToMenus(const char* formName, TfrmMain* window);

// LoadLanguage; a file that is not a language file gives the warning (path,
// then "n'est pas un fichier langue.") and false.
bool LoadLanguageReporting(QWidget* parent, const std::string& path);

// Qt's own texts (its file dialogs, the Yes, No and Cancel buttons) in the
// language of `languageCode` ("fra", "eng"...), from Qt's translations when
// they are installed; the previous ones are removed. Returns whether a
// translation is in use.
bool UseQtTranslations(const std::string& languageCode);

// Writes "label.txt" in the working folder from the first main window (and
// the dialogs that exist); a file that cannot be written gives a message.
void DumpCaptionsOf(TfrmMain* clicked);

}  // namespace kalix::ui
