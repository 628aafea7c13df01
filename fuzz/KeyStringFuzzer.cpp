// Key strings, key codes and hot keys from arbitrary bytes, typed through the real simulator into the
// recording backend: the lookups must stay in range and whatever is pressed must come up again.

#include <QList>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "KeyNames.h"
#include "KeyboardEventSimulator.h"
#include "MappingKeys.h"
#include "RecordingBackend.h"
#include "SenMapping.h"

namespace {

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

// A broken property names its line before the fuzzer records the input.
void require(bool condition, int line = __builtin_LINE())
{
    if (!condition) {
        std::fprintf(stderr, "property broken at line %d\n", line);
        std::abort();
    }
}

// Whether any key or button is down at the end of the recording. A key is down when its last event was
// a press, as for an X server or the kernel: a second press does not need a second release.
bool anythingDown(const RecordingBackend& backend)
{
    std::map<std::uint16_t, bool> keys;
    std::map<MouseButton, bool> buttons;
    for (const RecordedEvent& e : backend.events()) {
        switch (e.kind) {
        case RecordedEvent::Kind::KeyDown:
        case RecordedEvent::Kind::KeyUp:
            keys[e.scanCode] = e.kind == RecordedEvent::Kind::KeyDown;
            break;
        case RecordedEvent::Kind::ButtonDown:
        case RecordedEvent::Kind::ButtonUp:
            buttons[e.button] = e.kind == RecordedEvent::Kind::ButtonDown;
            break;
        case RecordedEvent::Kind::Char:
            break;
        }
    }
    const auto down = [](const auto& states) {
        return std::any_of(states.begin(), states.end(), [](const auto& entry) { return entry.second; });
    };
    return down(keys) || down(buttons);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qInstallMessageHandler(quiet);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 6) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    std::int32_t hotKey = 0;
    std::memcpy(&hotKey, data + 1, sizeof hotKey);
    const auto button = static_cast<std::int8_t>(data[5]);
    const QString keys = QString::fromUtf8(reinterpret_cast<const char*>(data + 6), static_cast<qsizetype>(size - 6));

    for (QChar ch : keys) {
        bool shift = false;
        const int code = scanCodeForChar(keyStringChar(ch), &shift);
        require(code >= 0 && code <= 0xFF);
    }
    (void)keyName(hotKey);
    (void)scanCodeForKey(hotKey);
    const HotKeyCapture capture = captureHotKey(hotKey);
    require(capture.keyCode == 0 || capture.keyCode == hotKey);
    require(!capture.text.isEmpty());

    SenMapping mapping;
    mapping.setSendHotKeys(true);
    mapping.setCtrlKey(flags & 1);
    mapping.setAltKey(flags & 2);
    mapping.setShiftKey(flags & 4);
    mapping.setWinKey(flags & 8);
    mapping.setEnterKey(flags & 16);
    mapping.setHotKey(hotKey);
    const QList<int> combo = hotKeyCombo(mapping);
    require(!combo.isEmpty() && combo.back() == hotKey);
    (void)keysDisplayText(mapping);

    RecordingBackend backend;
    {
        KeyboardEventSimulator simulator(backend, backend);
        // No hold and no delay, so nothing sleeps; the thread is never started.
        simulator.simulateKeys(keys, flags & 32, flags & 16, 0, 0);
        simulator.simulateKeyCombo(combo, 0);
        simulator.triggerKeyCombo(combo);
        simulator.triggerMouse(button);
        if (flags & 64) {
            simulator.releaseKeyCombo(combo);
            simulator.releaseMouse(button);
            if (!(flags & 32)) {
                require(!anythingDown(backend));
            }
        }
        simulator.releaseAll();
        require(!anythingDown(backend));
    }
    return 0;
}
