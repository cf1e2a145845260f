#pragma once

#include <QFunctionPointer>

namespace qv {

// The large libraries a few features need (text recognition, PDF pages, audio and video) live in
// modules of our own that are loaded the first time one of those features is used, so the program
// neither maps them nor runs their start-up code at every launch. A module is looked for beside the
// executable's library folder (../lib/quorvantis when installed), then in the build's own folder.
namespace LoadableModule {

// The function `symbol` of module `name` ("quorvantis_ocr" for libquorvantis_ocr.so), loading the
// module on first use; null when the module or the function cannot be found (said once on the
// console). A loaded module stays loaded. Any thread.
QFunctionPointer resolve(const char *name, const char *symbol);

} // namespace LoadableModule

} // namespace qv
