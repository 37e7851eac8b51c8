#pragma once

#include <QString>

class QWidget;

namespace Movendi::I18n {

// Module MODTranslate: puts the captions and tooltips of a language file on a screen.
//
// A screen's section is its objectName; its caption is its windowTitle, looked up under the
// caption it shows now. Each descendant widget of the screen with an objectName is a control;
// a member of a control array carries its index in the dynamic property "index" and is looked
// up as "Name(i).Caption" / "Name(i).ToolTipText", a single control as "Name.Caption" /
// "Name.ToolTipText". The caption of a control is:
//   - the text of a QLabel, unless the label shows a picture (pixmap or movie): a picture has
//     no caption, since giving it a text would wipe the picture;
//   - the text of a QAbstractButton;
//   - for any other widget, its property "caption" when it has one. 3-D panels are QLabel
//     based; a panel that must be another kind of widget (a QFrame holding children) declares
//     Q_PROPERTY(QString caption ...) so that the new caption reaches its setter.
// Every widget has a tooltip (toolTip). Widgets of another window parented to the screen
// belong to that window and are left alone.

// Translates the screen from the language file (full path). An absent key leaves the text as
// it is; a present empty value empties it. Every step that fails is skipped; never throws.
void TraduireForm(QWidget *ecran, const QString &fichier);

// The value of the key, untouched beyond the profile reader's own trimming, or defaut when the
// file, the section or the key is absent (or unreadable). A key or section without a name is
// never in a language file and gives defaut.
QString LireCleLangue(const QString &fichier, const QString &section, const QString &cle,
                      const QString &defaut);

} // namespace Movendi::I18n
