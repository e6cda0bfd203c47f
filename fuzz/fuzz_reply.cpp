// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes through what the window does with a received frame:
// read it as text, extract the four settings for a pending read, look for
// the acknowledgements of a pending write. Also the module side's command
// parser, which takes the same kind of outside input. The gathering of an
// answer must not depend on where the line cuts it into frames.

#include "protocol/replygatherer.h"
#include "protocol/wireformat.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray frame(reinterpret_cast<const char *>(data), int(size));

    const QString text = frameText(frame);
    check(text.size() <= frame.size());
    check(!text.contains(QChar(0)));

    for (Setting setting : allSettings) {
        const auto value = replyValue(text, setting);
        if (value) {
            // A value ends at the first "#" behind its prefix.
            check(!value->contains(QLatin1Char(commandTerminator)));
            check(!value->contains(QLatin1Char(wireSeparator)));
            // Written back, it reads the same.
            const auto command = parseCommand(writeCommand(setting, *value));
            check(command && command->write && command->setting == setting && command->formValue == *value);
            check(replyValue(replyText(setting, *value), setting) == value);
        } else {
            check(!text.contains(QLatin1String(settingInfo(setting).replyPrefix)));
        }
        acknowledges(text, setting);
    }

    // The same text whole and cut in two gives the same answer.
    const int cut = size > 0 ? int(data[0]) % (text.size() + 1) : 0;
    ReadGatherer whole;
    ReadGatherer pieces;
    WriteTally wholeTally;
    WriteTally pieceTally;
    for (Setting setting : allSettings) {
        wholeTally.sent(setting);
        pieceTally.sent(setting);
    }
    const SettingSet early = whole.feed(text);
    wholeTally.feed(text);
    pieces.feed(text.left(cut));
    pieces.feed(text.mid(cut));
    pieceTally.feed(text.left(cut));
    pieceTally.feed(text.mid(cut));
    check(pieces.complete() == early);
    check(pieceTally.acknowledged() == wholeTally.acknowledged());
    whole.finish();
    pieces.finish();
    for (Setting setting : allSettings) {
        check(whole.value(setting) == pieces.value(setting));
        const auto value = whole.value(setting);
        check(!value || value->size() <= ReadGatherer::longestValue);
        check(wholeTally.acknowledged().contains(setting) == acknowledges(text, setting));
    }

    if (const auto command = parseCommand(text)) {
        check(text.startsWith(QLatin1String("RS:")) && text.endsWith(QLatin1Char(commandTerminator)));
        if (!command->write)
            check(text == readCommand(command->setting));
    }
    return 0;
}
