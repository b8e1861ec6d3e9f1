// A game's file read, written and read again: the writer must keep what the reader found.
#include "FuzzSupport.h"
#include "GameConfig.h"
#include "LocalText.h"

#include <QRegularExpression>

namespace {

// The DIP line goes out without quoting: a comma in a value ends the item early and blanks at the
// end of the line are dropped on reading, and the writer turns line breaks into blanks. A value
// cut out of the middle of a character of four UTF-8 bytes has no bytes of its own. Other values,
// and every button entry the file holds, must come back unchanged.
bool survivesWriting(const GameConfig& config)
{
    const QString values = config.dip1 + config.dip2 + config.dip3;
    const QString line = gameConfigLines(config).constLast();
    const auto keepsBytes = [](const QString& value) {
        return Platform::decodeLocal(Platform::encodeLocal(value)) == value;
    };
    return keepsBytes(config.dip1) && keepsBytes(config.dip2) && keepsBytes(config.dip3) && !values.contains(',') &&
           !values.contains('\r') && !values.contains('\n') && !line.endsWith(' ') && !line.endsWith('\t');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const GameConfig first = parseGameConfig(bytesOf(data, size));
    // Entries keep the spelling of a whole number; anything else is none.
    static const QRegularExpression wholeNumber(QRegularExpression::anchoredPattern(QStringLiteral("[+-]?[0-9]+")));
    for (const GameConfig::Row& row : first.k)
        for (const QString& entry : row)
            require(wholeNumber.match(entry).hasMatch(), "entry that is no whole number");
    // The file holds only the entries a device has (two for a joystick): compare what is written.
    const QStringList firstLines = gameConfigLines(first);
    const GameConfig second = parseGameConfig(LineWriter::encode(firstLines));
    const QStringList secondLines = gameConfigLines(second);
    if (survivesWriting(first))
        require(secondLines == firstLines && second.dip1 == first.dip1 && second.dip2 == first.dip2 &&
                    second.dip3 == first.dip3,
                "the written file reads back otherwise");
    require(gameConfigLines(parseGameConfig(LineWriter::encode(secondLines))) == secondLines,
            "a second rewrite changes the file");
    return 0;
}
