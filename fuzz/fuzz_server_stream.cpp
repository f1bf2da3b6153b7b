// Bytes from a server we do not control, in arrivals of any size, through
// the connection's line cutting, the interpreter and every handler of a real
// main window with every moderation feature on.
//
// Input: one byte of switches (bit 0 pause the chat, bit 1 lamer mode, bit 2
// raw mode in the lower pane, bit 3 answer Yes to prompts, bit 4 pause again
// half-way), one byte choosing how the stream is cut into arrivals, then the
// stream itself.
#include "fuzzwindow.h"

#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"

#include <QLineEdit>

namespace {

// The arrival sizes: a small generator seeded by the second byte, with a
// largest size from one byte up to whole kilobytes.
class Arrivals {
public:
    explicit Arrivals(uint8_t seed) : m_state(seed * 2654435761u + 1), m_limit(limitOf(seed)) {}
    size_t next()
    {
        m_state = m_state * 1103515245u + 12345u;
        return 1 + (m_state >> 8) % m_limit;
    }

private:
    static size_t limitOf(uint8_t seed)
    {
        static const size_t limits[] = {1, 2, 3, 5, 8, 16, 64, 512, 4096, 65536};
        return limits[seed % (sizeof limits / sizeof limits[0])];
    }
    uint32_t m_state;
    size_t m_limit;
};

// A window is costly to make, so one serves many inputs: it is put back to
// its start state before each, and made anew now and then so that nothing
// left over from earlier inputs piles up.
Tmain *window()
{
    // Never deleted at exit: Qt's own globals are gone by then.
    static Tmain *main = nullptr;
    static int uses = 0;
    if (!main || ++uses % 200 == 0) {
        delete main;
        settleEvents();
        removeFuzzFile(QStringLiteral("brx.conf"));
        main = newFuzzWindow();
        settleEvents();
        return main;
    }
    Tmain *m = main;
    guarded([m] {
        m->session->bnet->Close(); // drops what is left of the last stream
        m->session->process->floodTimerTick();
        if (m->envVars.chatPaused)
            m->PauseChatClick();
        if (m->envVars.lamerMode)
            m->lamermodeClick();
        m->dispWhisperClick();
        m->chat->clear();
        m->whisper->clear();
        m->brx->clear();
        m->session->userTable.clear();
        m->session->userCount = 0;
        m->flushUsers();
    });
    removeFuzzFile(QStringLiteral("brx.conf"));
    settleEvents();
    return m;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication();
    writeFuzzFile(QStringLiteral("tressel.conf"), everythingOnConfig());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const uint8_t switches = data[0];
    Arrivals arrivals(data[1]);
    data += 2;
    size -= 2;

    fuzzDialogs().defaultConfirm = switches & 8;
    Tmain *main = window();
    guarded([&] {
        if (switches & 1)
            main->PauseChatClick();
        if (switches & 2)
            main->lamermodeClick();
        if (switches & 4)
            main->dispRawClick();
    });
    settleEvents();

    size_t at = 0;
    bool pausedAgain = false;
    while (at < size) {
        const size_t n = std::min(arrivals.next(), size - at);
        main->session->bnet->receiveBytes(
            QByteArray(reinterpret_cast<const char *>(data + at), qsizetype(n)));
        at += n;
        settleEvents();
        if ((switches & 16) && !pausedAgain && at >= size / 2) {
            pausedAgain = true;
            guarded([&] { main->PauseChatClick(); });
        }
    }
    // Whatever came, the user can still type, unpause and read on.
    guarded([&] {
        main->text->setText(QStringLiteral("/ver"));
        main->sendClick();
        if (main->envVars.chatPaused)
            main->PauseChatClick();
    });
    settleEvents();
    return 0;
}
