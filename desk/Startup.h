#pragma once

// The desk's start-up and end, around the application's message loop.
namespace desk {

// Sets the application title "澜星信使", creates the main window (which runs
// the login), the hidden second login form and the hidden about box, and
// shows the main window; the program ends when it closes. Returns false,
// with nothing left open, when the operator cancelled the login.
bool StartDesk();

// Frees the windows after the message loop, then the data module.
void ShutDesk();

} // namespace desk
