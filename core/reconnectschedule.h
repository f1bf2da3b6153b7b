#pragma once
// When to try again after the link was lost or a connect failed: after 5,
// 10, 20, 40 and 60 seconds, then every 60 seconds, until a login goes
// through or the user ends it.
class TReconnectSchedule {
public:
    // The wait before attempt number attempt (0 is the first).
    static int delaySeconds(int attempt);

    // Whether a schedule is under way (from a loss until it ends).
    bool running() const { return m_running; }
    // Starts the schedule or goes on with it: the seconds to wait before the
    // next attempt, which is counted.
    int next();
    // Ends the schedule; the next loss starts again at the first wait.
    void end();

private:
    bool m_running = false;
    int m_step = 0;
};
