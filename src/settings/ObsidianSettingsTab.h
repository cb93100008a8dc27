#pragma once

#include <QWidget>

class QButtonGroup;
class QCheckBox;
class QPushButton;
class QToolButton;

namespace quillstow {

class ObsidianSettings;

namespace settings {
class ElidedLabel;
}

// The vault folder, the save mode and whether every copy is saved, shown from and written to
// `settings`.
class ObsidianSettingsTab : public QWidget
{
    Q_OBJECT

public:
    explicit ObsidianSettingsTab(ObsidianSettings& settings, QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void applyColours();

    ObsidianSettings& settings_;
    settings::ElidedLabel* vaultLabel_;
    QPushButton* removeButton_;
    QPushButton* chooseButton_;
    QToolButton* iCloudButton_;
    QButtonGroup* saveModes_;
    QCheckBox* saveEveryCopy_;
};

} // namespace quillstow
