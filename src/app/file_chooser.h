#pragma once

// FLTK's file chooser, set up so that a name typed into it means what it says: an absolute path,
// a name in the folder the chooser shows, or a path under the home folder ("~/"). It opens at
// `preset` (a path, its name selected) or, without one, in the folder it showed last; the list
// shows the files matching `pattern`. Returns the chosen file's absolute path, or null on cancel;
// the text lasts until the next call.
const char* chooseFileName(const char* title, const char* pattern, const char* preset);
