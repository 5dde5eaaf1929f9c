// The language of Qt's own windows (file dialogs, the buttons of its boxes, an edit's context menu):
// Qt's translations for the language the program speaks, when the host has them.
#include "platform/window_system.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool UseHostLanguage(const char* languageCode) {
    static QTranslator* translator = nullptr;
    bool loaded = false;
    RunOnInterfaceThread([&] {
        if (translator) {
            QApplication::removeTranslator(translator);
            delete translator;
            translator = nullptr;
        }
        if (!languageCode || !*languageCode) return;
        auto* candidate = new QTranslator;
        if (candidate->load(QStringLiteral("qt_") + QString::fromLatin1(languageCode),
                            QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QApplication::installTranslator(candidate);
            translator = candidate;
            loaded = true;
        } else {
            delete candidate;
        }
    });
    return loaded;
}
