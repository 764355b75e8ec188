#pragma once

#include "platform/ui/Boxes.h"

#include <memory>

// The desk's start-up and end, around the application's message loop.
struct TEngineLink;
class TDataModule1;
class TEngineHost;
class TFMain;
class TMainFrm;
class TfrmAbout;
class TfrmLogin;
class TfrmReadSMS;

namespace desk {

// Fills the main window's hooks into the gateway engine (FMain, Gateway and
// the engine's requests).
void connectEngine(TEngineLink &link);

// True when the current directory is a work folder: it holds the database
// file that the data module's connection names. Otherwise shows an error box
// (and the same text on stderr) naming the missing file, the folder, and how
// to make a work folder, and returns false.
bool findWorkFolder();

// One process-wide object and the inherited global that names it while it
// lives: set when the object is taken, cleared before it goes. The object
// has no Qt parent and does not delete itself on close, so this is its only
// owner.
template <class T> class TOwnedGlobal {
public:
    using Owned = std::unique_ptr<T, void (*)(T *)>;

    explicit TOwnedGlobal(T *&global) : global_(global) {}
    ~TOwnedGlobal() { Reset(); }
    TOwnedGlobal(const TOwnedGlobal &) = delete;
    TOwnedGlobal &operator=(const TOwnedGlobal &) = delete;

    // Frees the object held before, then holds object and names it.
    T *Take(Owned object)
    {
        Reset();
        object_ = std::move(object);
        global_ = object_.get();
        return object_.get();
    }
    void Reset()
    {
        if (global_ == object_.get())
            global_ = nullptr;
        object_.reset();
    }
    T *get() const { return object_.get(); }

private:
    T *&global_;
    Owned object_{nullptr, nullptr};
};

// The one owner of the desk's process-wide objects, made by main() around
// the message loop. The members below are declared in the order the objects
// depend on each other, so the destructor is the shut-down order: the
// gateway window (it writes the queue files), the engine host (the drive
// thread is joined while the data module can still take a message in; then
// the queue files, and a box for queued messages they could not keep), the
// main window with its management windows, the reply dialog, the about box,
// the hidden login form, and last the data module. Start() creates them in
// the start-up's own order. The inherited globals (FMain, EngineHost,
// MainFrm, frmReadSMS, frmAbout, frmLogin, DataModule1) name them without
// owning them; MainFrm, FMain and frmReadSMS are also set by their own
// constructors (the login reaches the main window through its global while
// it is being made; a reply dialog made later names itself until it goes).
// Main thread.
class TDeskProcess {
public:
    TDeskProcess();
    ~TDeskProcess();
    TDeskProcess(const TDeskProcess &) = delete;
    TDeskProcess &operator=(const TDeskProcess &) = delete;

    // Sets the application title "澜星信使", creates the main window (which
    // runs the login), the hidden second login form, the gateway window
    // (which starts the engine), the hidden reply dialog and about box, and
    // shows the main window; the program ends when it closes. Returns false,
    // with nothing left open, when the operator cancelled the login.
    bool Start();

    // Start's steps, for tests that need only some of the objects.
    // The main window, which runs the login, and the data module that a
    // successful login opened; null, with nothing kept, when the operator
    // cancelled.
    TMainFrm *OpenMainWindow();
    // The second login form, hidden: the owner of the rights-test box.
    void MakeLoginForm();
    // The gateway window on a new engine host, shown and activated (its
    // first activation starts the engine), and the main window's hooks into
    // the engine.
    void OpenGateway();
    // The reply dialog and the about box, hidden.
    void MakeReplyDialog();
    void MakeAboutBox();

private:
    // First made, last gone: the errors of every object below are told in
    // the desk's words.
    boxes::ErrorWords words_;
    TOwnedGlobal<TDataModule1> data_;
    TOwnedGlobal<TfrmLogin> login_;
    TOwnedGlobal<TfrmAbout> about_;
    TOwnedGlobal<TfrmReadSMS> reply_;
    TOwnedGlobal<TMainFrm> main_;
    TOwnedGlobal<TEngineHost> host_;
    TOwnedGlobal<TFMain> gateway_;
};

} // namespace desk
