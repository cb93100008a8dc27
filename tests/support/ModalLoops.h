#pragma once

#include <QDialog>
#include <QMenu>
#include <QPoint>
#include <functional>
#include <vector>

namespace quillstow::test {

// The nested event loops a user can hold the program in: a modal dialog and an open menu. `run`
// blocks in its loop until the test calls the `close` it was handed.
struct ModalLoop
{
    const char* name;
    std::function<void(std::function<void()>& close)> run;
};

inline std::vector<ModalLoop> modalLoops(QPoint menuAt)
{
    return {
        {"dialog",
         [](std::function<void()>& close) {
             QDialog dialog;
             close = [&dialog] {
                 dialog.reject();
             };
             dialog.exec();
             close = nullptr;
         }},
        {"menu",
         [menuAt](std::function<void()>& close) {
             QMenu menu;
             menu.addAction(QStringLiteral("Item"));
             close = [&menu] {
                 menu.close();
             };
             menu.exec(menuAt);
             close = nullptr;
         }},
    };
}

} // namespace quillstow::test
