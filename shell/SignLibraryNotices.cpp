#include "shell/SignLibraryNotices.h"

#include "objects/ArrowRazmetItem.h"
#include "objects/MetafileLib.h"
#include "shell/UserPrompts.h"

#include <QString>

void ShowSignLibraryNotices() {
    SignMetafileLibrary();
    MissingSignMetafile();
    // The arrow library tells what reading it found through the same notices.
    ArrowDefs();
    for (const TSignLibraryNotice &notice : TakeSignLibraryNotices())
        UserPrompts().ShowMessage(notice.Warning ? TPromptKind::Warning : TPromptKind::Error,
                                  QString::fromUtf8(notice.Text.c_str()).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}
