#include "settings/Sections.h"

#include <QGroupBox>
#include <QLayout>
#include <QStyle>
#include <QVBoxLayout>

namespace quillstow::settings {

namespace {

constexpr int verticalMargin = 6;

void tightenVertically(QLayout* layout, const QWidget* widget)
{
    const QStyle* style = widget->style();
    layout->setContentsMargins(
        style->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, widget), verticalMargin,
        style->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, widget), verticalMargin);
}

} // namespace

QGroupBox* section(const QString& title, QLayout* content)
{
    auto* box = new QGroupBox(title);
    box->setLayout(content);
    tightenVertically(content, box);
    return box;
}

QVBoxLayout* sectionsPage(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    tightenVertically(layout, page);
    return layout;
}

} // namespace quillstow::settings
