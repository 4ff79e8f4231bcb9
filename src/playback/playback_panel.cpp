#include "playback/playback_panel.h"

#include <FL/Fl.H>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>

namespace {

// The menu button carries the panel as user data, the item its command code.
void menuItemChosen(Fl_Widget* menuButton, void* code) {
    static_cast<PlaybackPanel*>(menuButton->user_data())
        ->doCommand(static_cast<int>(reinterpret_cast<intptr_t>(code)));
}

void* code(PlaybackPanel::Command c) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(c));
}

// Zero label type, font, size and colour: the menu's defaults.
Fl_Menu_Item submenu(const char* text) {
    return {text, 0, nullptr, nullptr, FL_SUBMENU, 0, 0, 0, 0};
}
Fl_Menu_Item item(const char* text, PlaybackPanel::Command c, int flags = 0) {
    return {text, 0, menuItemChosen, code(c), flags, 0, 0, 0, 0};
}
// One of a group of choices; the panel moves the mark to follow its state.
Fl_Menu_Item radio(const char* text, PlaybackPanel::Command c, int flags = 0) {
    return item(text, c, FL_MENU_RADIO | flags);
}
Fl_Menu_Item endOfMenu() {
    return {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0};
}

// The options menu: Speed, Looping, Time Display and Range Slider submenus. The speeds made
// from the file's own rate come first: a capture at 120 fps plays at a quarter of its speed
// at "30 fps".
const Fl_Menu_Item playbackMenuItems[] = {
    submenu("Speed"),
    radio("File Rate", PlaybackPanel::SpeedFileRate),
    radio("Half File Rate", PlaybackPanel::SpeedHalfFileRate),
    radio("Double File Rate", PlaybackPanel::SpeedDoubleFileRate, FL_MENU_DIVIDER),
    radio("30 fps", PlaybackPanel::Speed30),
    radio("24 fps", PlaybackPanel::Speed24),
    radio("AFAP", PlaybackPanel::SpeedAfap),
    endOfMenu(),
    submenu("Looping"),
    radio("on", PlaybackPanel::LoopingOn),
    radio("off", PlaybackPanel::LoopingOff),
    endOfMenu(),
    submenu("Time Display"),
    radio("Frame Number", PlaybackPanel::ShowFrameNumber),
    radio("MM:SS:FF", PlaybackPanel::ShowTimecode),
    endOfMenu(),
    submenu("Range Slider"),
    item("Disable", PlaybackPanel::DisableRangeSlider),
    item("Enable", PlaybackPanel::EnableRangeSlider),
    endOfMenu(),
    endOfMenu(),
};

// The Speed commands in the menu's order, and the speed each gives for a file's rate.
const PlaybackPanel::Command speedCommands[] = {PlaybackPanel::SpeedFileRate,
                                                PlaybackPanel::SpeedHalfFileRate,
                                                PlaybackPanel::SpeedDoubleFileRate,
                                                PlaybackPanel::Speed30,
                                                PlaybackPanel::Speed24,
                                                PlaybackPanel::SpeedAfap};

std::optional<float> speedOf(int command, float fileRate) {
    switch (command) {
        case PlaybackPanel::SpeedFileRate:
            return fileRate;
        case PlaybackPanel::SpeedHalfFileRate:
            return fileRate / 2.0f;
        case PlaybackPanel::SpeedDoubleFileRate:
            return fileRate * 2.0f;
        case PlaybackPanel::Speed30:
            return 30.0f;
        case PlaybackPanel::Speed24:
            return 24.0f;
        case PlaybackPanel::SpeedAfap:
            return 0.0f;
        default:
            return std::nullopt;
    }
}

// Slider values truncated toward zero to frame numbers, kept inside int.
int truncToInt(double v) {
    if (std::isnan(v)) {
        return 0;
    }
    v = std::trunc(v);
    return v <= INT_MIN ? INT_MIN : (v >= INT_MAX ? INT_MAX : static_cast<int>(v));
}

}  // namespace

PlaybackPanel::PlaybackPanel(int x, int y, int w, int h, const char* label)
    : PlaybackPanel(x, y, w, h, label, SteadyPlaybackClock::instance()) {}

// The children are created while the panel is the current group, so each joins it in order.
PlaybackPanel::PlaybackPanel(int x, int y, int w, int h, const char* label,
                             const PlaybackClock& clock)
    : Fl_Group(x, y, w, h, label),
      player_(clock),
      stepBackButton_(0, 0, w, h, "@<|"),
      playButton_(0, 0, w, h, "@>"),
      stepForwardButton_(0, 0, w, h, "@|>"),
      timeDisplay_(0, 0, w, h),
      loopToggle_(0, 0, w, h),
      optionsMenu_(0, 0, w, h),
      frameSlider_(0, 0, w, h),
      rangeSlider_(0, 0, w, h) {
    build();
    player_.setListener(this);
    markChoices();
    resize(x, y, w, h);
    updateTimeDisplay();
    end();
}

PlaybackPanel::~PlaybackPanel() {
    Fl::remove_idle(tickHook, this);
    player_.setListener(nullptr);
}

void PlaybackPanel::build() {
    // No control but the frame field takes the keyboard focus, so a focused button never
    // also takes the Space meant for playback.
    for (Fl_Widget* control : std::initializer_list<Fl_Widget*>{
             &stepBackButton_, &playButton_, &stepForwardButton_, &loopToggle_, &optionsMenu_,
             &frameSlider_, &rangeSlider_}) {
        control->clear_visible_focus();
    }
    stepBackButton_.labeltype(FL_SYMBOL_LABEL);
    stepBackButton_.callback(stepBackPressed, this);
    playButton_.labeltype(FL_SYMBOL_LABEL);
    playButton_.callback(playPressed, this);
    stepForwardButton_.labeltype(FL_SYMBOL_LABEL);
    stepForwardButton_.callback(stepForwardPressed, this);
    timeDisplay_.textsize(10);
    timeDisplay_.callback(frameTyped, this);
    timeDisplay_.restore = [this] { updateTimeDisplay(); };
    loopToggle_.callback(loopToggled, this);
    optionsMenu_.user_data(this);
    // A copy of its own, whose marks the panel sets.
    optionsMenu_.copy(playbackMenuItems);
    frameSlider_.type(FL_HOR_NICE_SLIDER);
    frameSlider_.box(FL_DOWN_BOX);
    frameSlider_.step(1);
    frameSlider_.bounds(player_.rangeStart(), player_.rangeEnd());
    frameSlider_.callback(frameSliderMoved, this);
    rangeSlider_.setOrientation(1);
    rangeSlider_.setMinimumSpan(1.0);
    rangeSlider_.when(FL_WHEN_CHANGED | FL_WHEN_NOT_CHANGED);
    rangeSlider_.callback(rangeSliderMoved, this);
    rangeSlider_.setBounds(player_.firstFrame(), player_.lastFrame());
    rangeSlider_.setValues(player_.rangeStart(), player_.rangeEnd());
}

void PlaybackPanel::resize(int X, int Y, int W, int H) {
    int e = (W >= 150 && H >= 50) ? 2 : 1;
    int W2 = W < 150 ? 150 : W;
    int H2 = H < 30 ? 30 : (H > 70 ? 70 : H);
    int x = X + Fl::box_dx(box());
    int y = Y + Fl::box_dy(box());
    int w = W2 - Fl::box_dw(box());
    int h = H2 - Fl::box_dh(box());
    Fl_Group::resize(X, Y, W2, H2);
    // h * 2.5 < w, in integers.
    if (h * 5 < w * 2) {
        layoutWide(x, y, w, h, e);
    } else {
        layoutTall(x, y, w, h, e);
    }
}

void PlaybackPanel::layoutWide(int x, int y, int w, int h, int e) {
    int u = std::min(std::max(3 * e + 45, w / 2), 3 * e + 105);
    int bw = u / 3 - e;
    int bh = std::min(h / 2 - e, 30);
    int F = (u - 5) / 2 - 5;
    int N = (u - 2 * e - F) / 2;
    int L = u - 3 * e - N - F;
    stepBackButton_.resize(x + e, y + e, bw, bh);
    playButton_.resize(x + 2 * e + bw, y + e, bw, bh);
    stepForwardButton_.resize(x + 3 * e + 2 * bw, y + e, bw, bh);
    frameSlider_.resize(x + u + 2 * e, y + e, w - 4 * e - u, rangeSliderEnabled_ ? bh : h - 2 * e);
    int y2 = y + 2 * e + bh;
    int h2 = h - 3 * e - bh;
    timeDisplay_.resize(x + e, y2, F, h2);
    loopToggle_.resize(x + 2 * e + F, y2, N, h2);
    loopToggle_.show();
    optionsMenu_.resize(x + 3 * e + F + N, y2, L, h2);
    rangeSlider_.resize(x + u + e, y2, w - 2 * e - u, h2);
    showRangeSliderIfEnabled();
}

void PlaybackPanel::layoutTall(int x, int y, int w, int h, int e) {
    int rows = rangeSliderEnabled_ ? 3 : 2;
    int F = std::min(55, w / 3);
    int bw = (w - 2 * e - F) / 4 - e;
    int bh = std::min((h - e) / rows - e, 30);
    stepBackButton_.resize(x + e, y + e, bw, bh);
    playButton_.resize(x + 2 * e + bw, y + e, bw, bh);
    stepForwardButton_.resize(x + 3 * e + 2 * bw, y + e, bw, bh);
    timeDisplay_.resize(x + 3 * bw + 4 * e, y + e, F, bh);
    optionsMenu_.resize(x + 3 * bw + 5 * e + F, y + e, bw, bh);
    loopToggle_.hide();
    int sh = (h - 2 * e - bh) / (rows - 1) - e;
    frameSlider_.resize(x + 2 * e, y + 2 * e + bh, w - 4 * e, sh);
    rangeSlider_.resize(x + e, y + 3 * e + bh + sh, w - 2 * e, h - 4 * e - sh - bh);
    showRangeSliderIfEnabled();
}

void PlaybackPanel::showRangeSliderIfEnabled() {
    if (rangeSliderEnabled_) {
        rangeSlider_.show();
    } else {
        rangeSlider_.hide();
    }
}

bool PlaybackPanel::tickScheduled() const {
    return Fl::has_idle(tickHook, const_cast<PlaybackPanel*>(this)) != 0;
}

void PlaybackPanel::tickHook(void* panel) {
    static_cast<PlaybackPanel*>(panel)->player_.tick();
}

void PlaybackPanel::ticksWanted(bool wanted) {
    if (!wanted) {
        Fl::remove_idle(tickHook, this);
    } else if (!tickScheduled()) {
        Fl::add_idle(tickHook, this);
    }
}

void PlaybackPanel::frameAnnounced(const Player&) {
    do_callback();
}

void PlaybackPanel::frameSet(const Player& player) {
    // value() does not run the slider's callback.
    frameSlider_.value(player.frame());
    updateTimeDisplay();
}

void PlaybackPanel::playingSet(const Player& player) {
    playButton_.label(player.isPlaying() ? "@||" : "@>");
    playButton_.redraw();
}

void PlaybackPanel::loopingSet(const Player& player) {
    // value() redraws only on a change and never runs the toggle's callback.
    loopToggle_.value(player.looping() ? 1 : 0);
    markChoices();
}

void PlaybackPanel::speedSet(const Player&) {
    markChoices();
}

void PlaybackPanel::setFileRate(float fps) {
    fileRate_ = fps;
    doCommand(SpeedFileRate);
}

int PlaybackPanel::markedSpeed() const {
    const float fps = player_.framesPerSecond();
    if (speedOf(speedChosen_, fileRate_) == fps) {
        return speedChosen_;
    }
    for (Command c : speedCommands) {
        if (speedOf(c, fileRate_) == fps) {
            return c;
        }
    }
    return 0;
}

bool PlaybackPanel::isMarked(int code) const {
    switch (code) {
        case LoopingOn:
        case LoopingOff:
            return player_.looping() == (code == LoopingOn);
        case ShowFrameNumber:
        case ShowTimecode:
            return timeDisplayMode_ == code - ShowFrameNumber;
        default:
            return code == markedSpeed();
    }
}

void PlaybackPanel::markChoices() {
    const Fl_Menu_Item* items = optionsMenu_.menu();
    for (int i = 0; i < optionsMenu_.size(); ++i) {
        if (items[i].flags & FL_MENU_RADIO) {
            const int code = static_cast<int>(reinterpret_cast<intptr_t>(items[i].user_data()));
            const int flags = items[i].flags & ~FL_MENU_VALUE;
            optionsMenu_.mode(i, isMarked(code) ? flags | FL_MENU_VALUE : flags);
        }
    }
}

void PlaybackPanel::rangesSet(const Player& player) {
    rangeSlider_.setBounds(player.firstFrame(), player.lastFrame());
    rangeSlider_.setValues(player.rangeStart(), player.rangeEnd());
    frameSlider_.bounds(player.rangeStart(), player.rangeEnd());
    frameSlider_.redraw();
}

void PlaybackPanel::doCommand(int code) {
    switch (code) {
        case SpeedFileRate:
        case SpeedHalfFileRate:
        case SpeedDoubleFileRate:
        case Speed30:
        case Speed24:
        case SpeedAfap:
            speedChosen_ = code;
            player_.setFramesPerSecond(*speedOf(code, fileRate_));
            break;
        case LoopingOn:
        case LoopingOff:
            player_.setLooping(code == LoopingOn);
            break;
        case ShowFrameNumber:
        case ShowTimecode:
        case ShowSeconds:
            // The new mode shows at the next frame change. A typed number is taken only where
            // frame numbers are shown: in the time modes "2" could as well mean two seconds.
            timeDisplayMode_ = code - ShowFrameNumber;
            timeDisplay_.acceptTyping(timeDisplayMode_ == FrameNumberMode);
            markChoices();
            redraw();
            break;
        case DisableRangeSlider:
            player_.setPlayRange(player_.firstFrame(), player_.lastFrame());
            rangeSliderEnabled_ = false;
            resize(x(), y(), w(), h());
            redraw();
            break;
        case EnableRangeSlider:
            rangeSliderEnabled_ = true;
            resize(x(), y(), w(), h());
            redraw();
            break;
        default:
            break;
    }
}

bool PlaybackPanel::handlePlaybackKey(int key) {
    if (timeDisplay_.beingEdited()) {
        return false;
    }
    switch (key) {
        case ' ':
            player_.togglePlay();
            return true;
        case FL_Left:
            player_.stepBy(-1);
            return true;
        case FL_Right:
            player_.stepBy(1);
            return true;
        case FL_Home:
            player_.jumpTo(player_.rangeStart());
            return true;
        case FL_End:
            player_.jumpTo(player_.rangeEnd());
            return true;
        default:
            return false;
    }
}

void PlaybackPanel::updateTimeDisplay() {
    const int frameNumber = player_.frame();
    // Sized for any int and any "%.2f" of one: the text is cut rather than overrun.
    char text[64];
    switch (timeDisplayMode_) {
        case TimecodeMode: {
            // AFAP (or any rate under half a frame a second) counts one frame a second; the
            // top limit keeps 60 * r inside int.
            double rate = std::trunc(static_cast<double>(framesPerSecond()) + 0.5);
            int r = rate >= 1.0 ? static_cast<int>(std::min(rate, INT_MAX / 60.0)) : 1;
            std::snprintf(text, sizeof text, "%02d:%02d:%02d", frameNumber / (60 * r),
                          (frameNumber / r) % 60, frameNumber % r);
            break;
        }
        case SecondsMode: {
            double d = framesPerSecond();
            if (d == 0.0) {
                d = 1.0;
            }
            std::snprintf(text, sizeof text, "%.2f", frameNumber / d);
            break;
        }
        default:
            std::snprintf(text, sizeof text, "%d", frameNumber);
            break;
    }
    timeDisplay_.display(text);
}

void PlaybackPanel::stepBackPressed(Fl_Widget*, void* panel) {
    static_cast<PlaybackPanel*>(panel)->player_.stepBy(-1);
}

void PlaybackPanel::playPressed(Fl_Widget*, void* panel) {
    static_cast<PlaybackPanel*>(panel)->player_.togglePlay();
}

void PlaybackPanel::stepForwardPressed(Fl_Widget*, void* panel) {
    static_cast<PlaybackPanel*>(panel)->player_.stepBy(1);
}

void PlaybackPanel::frameTyped(Fl_Widget*, void* panel) {
    auto* p = static_cast<PlaybackPanel*>(panel);
    FrameField& field = p->timeDisplay_;
    if (field.readonly()) {
        return;
    }
    std::optional<int> typed = parseFrameNumber(field.value());
    // The typed text has had its turn: from here on the field shows the player's frame.
    field.clear_changed();
    if (typed) {
        p->player_.jumpTo(*typed);
    }
    p->updateTimeDisplay();
    // Enter ends the edit, so the playback keys work again at once.
    field.leave();
}

void PlaybackPanel::loopToggled(Fl_Widget* w, void* panel) {
    static_cast<PlaybackPanel*>(panel)->player_.setLooping(
        static_cast<Fl_Light_Button*>(w)->value() != 0);
}

void PlaybackPanel::frameSliderMoved(Fl_Widget* w, void* panel) {
    Player& player = static_cast<PlaybackPanel*>(panel)->player_;
    int n = truncToInt(static_cast<Fl_Slider*>(w)->value());
    player.setFrame(n);
    player.setBaseFrame(n);
}

void PlaybackPanel::rangeSliderMoved(Fl_Widget* w, void* panel) {
    auto* slider = static_cast<RangeSlider*>(w);
    static_cast<PlaybackPanel*>(panel)->player_.setPlayRange(truncToInt(slider->lowValue()),
                                                             truncToInt(slider->highValue()));
}
