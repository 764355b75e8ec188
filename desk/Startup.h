#pragma once

// The desk's start-up and end, around the application's message loop.
struct TEngineLink;

namespace desk {

// Fills the main window's hooks into the gateway engine (FMain, Gateway and
// the engine's requests).
void connectEngine(TEngineLink &link);

// True when the current directory is a work folder: it holds the database
// file that the data module's connection names. Otherwise shows an error box
// (and the same text on stderr) naming the missing file, the folder, and how
// to make a work folder, and returns false.
bool findWorkFolder();

// Sets the application title "澜星信使", creates the main window (which runs
// the login), the hidden second login form, the gateway window (which starts
// the engine), the hidden reply dialog and about box, and shows the main
// window; the program ends when it closes. Returns false, with nothing left
// open, when the operator cancelled the login.
bool startDesk();

// After the message loop: frees the gateway window and stops the engine
// (which writes the queue files), frees the windows, then the data module.
void shutDesk();

} // namespace desk
