#pragma once

#include <FL/Fl_Window.H>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/document.h"
#include "editing/falloff.h"
#include "editing/ground_transform.h"

class MotionView;
class PlaybackPanel;
class MainMenuBar;

// The program's one top-level window: the 3D view, the menu bar and the playback panel, and
// the commands behind the menus. It lives for the whole run. It owns the document being edited;
// whatever would throw away unsaved edits (another open, a drop, closing) asks first, and every
// failure shows its message in the view as well as on the console.
class MotionWindow : public Fl_Window {
  public:
    // What the unsaved-work question answers.
    enum UnsavedAnswer { CancelAnswer = 0, SaveAnswer = 1, DiscardAnswer = 2 };
    // The window opens at 800 x 900 where the screen allows, and never shrinks below this.
    static constexpr int kMinimumWidth = 640;
    static constexpr int kMinimumHeight = 480;
    // Seconds a load or save runs before it shows its progress.
    static constexpr double kProgressDelay = 0.33;
    // Seconds a load or save has to stop once a close cancelled it; a worker that is still not
    // done then is stuck where no cancel reaches it (a hung network file system), and the close
    // goes on without it.
    static constexpr double kStopDelay = 2.0;

    MotionWindow();
    ~MotionWindow() override;

    // File > Open: settles unsaved edits, asks for a file through chooseFile and loads it; a
    // cancel or a failed load changes nothing.
    void open();
    // Loads the file and shows it from frame 1; 1 on success, 0 (nothing changed, the message
    // shown) on failure. Asks nothing: the callers settle unsaved edits first.
    int openPath(const std::string& path);
    // Opens a file dropped on the window (the text the drop delivered), after settling unsaved
    // edits; nothing for a drop that names no file.
    void openDropped(const std::string& dropText);
    // File > Save: asks for a file name (the current file's to start with), confirms replacing an
    // existing file, and saves the motion with its path edit. True when the motion was saved.
    bool save();
    // File > Export glTF: asks for a .glb or .gltf name (the current file's, as .glb, to start
    // with), confirms replacing an existing file, and writes the motion as drawn; the document's
    // file and saved state stay as they are.
    void exportGltf();
    // File > Quit, the window manager's close and Escape: closes the window once unsaved edits
    // are settled.
    void quit();
    // File > Up Axis and Position Channels: reads the loaded motion again as `reading` says
    // (its path edit and history go, so unsaved edits are settled first).
    void readAs(const LoadOptions& reading);
    // How the shown motion is read, as load options.
    LoadOptions currentReading() const;
    void undo();
    void redo();
    // Selection > Keep Feet Planted: switches it in the document (one step of history); a
    // failure shows why and leaves the feet as they were.
    void toggleFeetPlanted();
    // Selection > Keep Speed: switches it in the document (one step of history); the panel's
    // frames follow the new length.
    void toggleKeepSpeed();
    // Selection > Choose Feet: asks for the ankles of the two feet among the skeleton's joints
    // (or the automatic choice); while the feet are planted it asks nothing and says why. A
    // joint that is no ankle is refused with its message.
    void chooseFeet();
    void resetCamera();
    // Selection > Select All and Select None.
    void selectAll();
    void selectNone();
    // Selection > Falloff: how a drag's neighbours follow.
    void setFalloff(FalloffShape shape);
    // Selection > Path Detail: a control point every `frames` frames, after asking whether the
    // path's edits may go (none are asked about when there are none); one step of Undo.
    void setPathDetail(int frames);
    // Selection > Path Detail > Every N Seconds: asks for N and sets the detail to N seconds of
    // frames.
    void askPathDetailSeconds();
    // Transform > Move, Turn and Scale: asks for the numbers (dx and dz along the file's
    // ground axes, degrees counter-clockwise seen from above, a factor) and moves, turns or
    // scales the selection, or the whole path with none selected, about the selection's centre
    // or the first control point.
    void transformSelection(GroundTransform::Kind kind);
    // Edit > Point Position: asks for the selected point's ground coordinates (the file's
    // axes) and puts it there; with not exactly one point selected it says so.
    void editPointPosition();
    // Camera > Frame Selection.
    void frameSelection();
    // The panel's callback: shows the panel's current frame in the view.
    void frameChanged();
    // Title, menu states and the panel's frames after the document changed (an edit, undo,
    // redo, save, load).
    void documentChanged();

    // Ctrl+O, Ctrl+S and Ctrl+Y beside the menus' own shortcuts; files dropped on the window.
    int handle(int event) override;

    MotionView* view() const { return view_; }
    PlaybackPanel* panel() const { return panel_; }
    MainMenuBar* menuBar() const { return menuBar_; }
    Document& document() { return document_; }

    // Asks the user for a file (title, pattern, preset path or null); returns the path, or null
    // on cancel. It is FLTK's file chooser (chooseFileName); tests answer it themselves.
    std::function<const char*(const char*, const char*, const char*)> chooseFile;
    // Asks whether to save the unsaved edits of the named file first; tests answer it.
    std::function<UnsavedAnswer(const std::string& fileName)> askUnsaved;
    // Asks for the ankles among the joints' names, starting from the ankles in use (`current`):
    // two names, none for the automatic choice, nothing on cancel (askAnkles). Tests answer it.
    std::function<std::optional<std::vector<std::string>>(const std::vector<std::string>& joints,
                                                          const std::vector<std::string>& current)>
        askFeet;
    // Asks whether an existing file may be replaced; tests answer it.
    std::function<bool(const std::string& fileName)> confirmReplace;
    // Asks for numbers, one per label, starting at `initial`; nothing on cancel (askNumbers).
    // Tests answer it.
    std::function<std::optional<std::vector<double>>(const std::string& title,
                                                     const std::vector<std::string>& labels,
                                                     const std::vector<double>& initial)>
        askValues;
    // Asks whether the path's edits may be dropped for another detail; tests answer it.
    std::function<bool()> confirmDropEdits;

  private:
    // True when the edits are saved, discarded or there are none; false when the user
    // cancelled (or the save they asked for failed).
    bool settleUnsavedWork();
    // Prints a failure on the console and shows it in the view; a success shows nothing.
    void report(const Result& result);
    // The same for the open or save of a file: a failure's message starts with the file's name.
    void reportAbout(const std::string& path, Result result);
    void updateTitle();
    // Runs the toolkit's loop until the job is done, so the window keeps drawing and answering;
    // a job that runs longer than kProgressDelay seconds shows its progress, and a Cancel button
    // where it is `cancellable`.
    // False when a close gave up on the job (kStopDelay).
    bool waitFor(BackgroundJob& job, const std::string& what, bool cancellable = true);
    // After a job during which the window was asked to close: the close goes on (asking about
    // unsaved edits), whether the job was cancelled in time or had already finished.
    bool quitIfAsked();
    // Shrinks the window onto a screen too small for it.
    void fitToScreen();
    // Brings the panel's frames in step with the edited motion's timing when it changed.
    void followTiming();
    // Solves the planted legs a change left stale, on the worker, showing progress if long.
    void plantStaleFeet();
    // Takes the measures a change left (Document::measureStep) a step per pass of the event
    // loop, so that the window keeps answering, and draws their result.
    void measureWhenIdle();
    static void measureStepCallback(void* window);
    bool measuring_ = false;

    Document document_;                    // the motion being edited; the view shows it
    MotionView* view_;                     // child widget, owned by the window as its group
    MainMenuBar* menuBar_;                 // child widget
    BackgroundJob* runningJob_ = nullptr;  // the job waitFor is waiting for
    bool quitWhenDone_ = false;            // a close came while a job ran
    PlaybackPanel* panel_;                 // child widget, owned by the window as its group
    std::string title_;                    // FLTK keeps only the pointer of a window label
    // When the first close came while a job ran.
    std::chrono::steady_clock::time_point quitAsked_;
    // The timing whose frames the panel counts (null: the captured frames).
    std::shared_ptr<const std::vector<double>> shownTiming_;
};
