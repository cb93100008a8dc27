#pragma once

#include <QString>

class QGroupBox;
class QLayout;
class QVBoxLayout;
class QWidget;

namespace quillstow::settings {

// The sections of a grouped form, a little tighter vertically than the style's defaults so that
// three of them fit the fixed tab view.

// A titled section holding `content`.
QGroupBox* section(const QString& title, QLayout* content);
// The layout of a tab page that stacks sections from the top.
QVBoxLayout* sectionsPage(QWidget* page);

} // namespace quillstow::settings
