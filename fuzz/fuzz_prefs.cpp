// The settings file read, written and read again: the writer must keep what the reader found.
#include "FuzzSupport.h"
#include "PreferencesFile.h"

namespace {

// The free text goes on its line as typed, without quoting, so only some texts read back whole:
// a comma ends the item early (the rest then reads as switches of their own), blanks around it
// are skipped, a leading quote starts a quoted item, and the writer turns line breaks into blanks.
// Any other text, and every other value, must come back unchanged.
bool survivesWriting(const QString& other)
{
    static const QString blanks = QStringLiteral(" \t");
    return !other.contains(',') && !other.contains('\r') && !other.contains('\n') && !other.startsWith('"') &&
           (other.isEmpty() || (!blanks.contains(other.front()) && !blanks.contains(other.back())));
}

Preferences rewritten(const Preferences& prefs)
{
    return PreferencesFile::parse(LineWriter::encode(PreferencesFile::lines(prefs)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const Preferences first = PreferencesFile::parse(bytesOf(data, size));
    const QStringList firstLines = PreferencesFile::lines(first);
    const Preferences second = PreferencesFile::parse(LineWriter::encode(firstLines));
    // While the frame skip is automatic the file holds no frame-skip value, so the slider's is not kept.
    Preferences expected = first;
    if (expected.autoFrameSkip)
        expected.frameSkip = Preferences::FrameSkipMin;
    if (survivesWriting(first.other))
        require(second == expected, "the written file reads back otherwise");
    // Whatever the free text held, two rewrites settle the file (equal values write equal lines).
    // Two, not one: a text that starts with a quote and has no closing one reads back as a quoted
    // item that runs over its line end, the writer turns that into a trailing blank, and only the
    // next reading drops the blank.
    const Preferences third = rewritten(second);
    require(rewritten(third) == third, "the file does not settle");
    return 0;
}
