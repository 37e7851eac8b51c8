// libFuzzer target: any bytes as an article's RTF description, read to plain text and to HTML
// as the choice screen shows it. Neither reading may fail; a description is never longer in
// plain text than the bytes it came from allow, whatever its escapes (\'hh, \uN) claim.
#include "platform/rtfreader.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

using namespace Movendi::Platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray rtf(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString texte = rtfToPlainText(rtf);
    (void)rtfToHtml(rtf);
    // Each character comes from at least one byte of the source (a line end from a \par).
    if (texte.size() > rtf.size())
        std::abort();
    return 0;
}
