#pragma once

#include <QLocale>

namespace quillstow {

// Puts Quillstow's texts, and Qt's own (standard buttons, key names, command-line errors), into
// `locale`'s language when a translation for it exists: Quillstow's are built into the program,
// Qt's come from its installed translations. English needs neither. Needs the application
// object, which owns the translators. Returns whether Quillstow's own translation was found.
bool installTranslations(const QLocale& locale = QLocale::system());

} // namespace quillstow
