// A game's file read, written and read again: the writer must keep what the reader found.
#include "FuzzSupport.h"
#include "GameConfig.h"

namespace {

// The DIP line goes out without quoting: a comma in a value ends the item early and blanks at the
// end of the line are dropped on reading, and the writer turns line breaks into blanks. Other
// values, and every button entry the file holds, must come back unchanged.
bool survivesWriting(const GameConfig& config)
{
    const QString values = config.dip1 + config.dip2 + config.dip3;
    const QString line = gameConfigLines(config).constLast();
    return !values.contains(',') && !values.contains('\r') && !values.contains('\n') && !line.endsWith(' ') &&
           !line.endsWith('\t');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const GameConfig first = parseGameConfig(bytesOf(data, size));
    // Entries keep their spelling, but each must go back on its line as one value.
    for (const GameConfig::Row& row : first.k) {
        for (const QString& entry : row) {
            require(!entry.isEmpty() && !entry.contains(' ') && !entry.contains(',') && !entry.contains('\r') &&
                        !entry.contains('\n'),
                    "entry that cannot be written back");
        }
    }
    // The file holds only the entries a device has (two for a joystick): compare what is written.
    const QStringList firstLines = gameConfigLines(first);
    require(firstLines.size() == 15, "not fifteen lines");
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
