// While the program waits for the instrument, the user-interface thread is
// blocked in the exchange. Between Begin() and End() the program takes no
// user input (mouse, keys, closing windows) but lets every window repaint,
// shows the busy cursor and closes an open menu first, so the menu that
// started a slow exchange does not stay drawn over the windows.
#pragma once

class TExchangeBlocker {
public:
    static void Begin();
    static void End();
    // Handles pending paint and window-system events, but no user input.
    static void LetWindowsPaint();
    static bool Active();
};
