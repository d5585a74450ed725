// The views' controls on the running application: a press, a move and a
// release of the left button in the client area become button presses, slider
// drags and view drags, and each view's press and double-click handlers end in
// the same transport operations as the menus and the remote control. Also the
// Views menu commands and the hooks that lay the views out for a piece.
#pragma once

#include "views/views.h"

namespace tuttiro {

struct AppRec;

// Lays the views out for the open piece in the current client size.
void ViewsLayOut(AppRec& app);
// The client area took a new size.
void ViewsResize(AppRec& app, int32_t width, int32_t height);
// Every view drawn afresh (their contents changed, as when settings apply).
void RedrawAllViews(AppRec& app);
// Fits the piece's title to the Title view again.
void ViewsUpdateTitle(AppRec& app);
// The settings' saved positions applied, and computed for saving.
void ViewsMoveToSaved(AppRec& app);
void ViewsStorePositions(AppRec& app);

// The Views menu: one view shown or hidden, all shown or hidden, all centred.
void ViewsToggle(AppRec& app, int view);
void ViewsSetAll(AppRec& app, bool visible);
void ViewsCenter(AppRec& app);

// The left button in the client area (client coordinates).
void ViewsPress(AppRec& app, ViewPoint p, bool doubleClick, bool shift);
// A move with `fine` (Shift held) takes a slider's thumb a tenth as far.
void ViewsMove(AppRec& app, ViewPoint p, bool fine = false);
void ViewsRelease(AppRec& app, ViewPoint p);
// Ends the gesture in progress without its release action: the window lost
// the input (focus gone, a modal box opened) while the button was held. A
// held action stops and what ran before resumes, a thumb stays where it was
// last applied, a view drag is dropped.
void ViewsCancelGesture(AppRec& app);
bool ViewsGestureActive(const AppRec& app);
// The mouse wheel over a view, `steps` notches (up is positive): the master
// tempo, the master volume and a strip's track volume move by 1 % a notch,
// the song position bar by a beat. Nothing happens during a gesture.
void ViewsWheel(AppRec& app, ViewPoint p, int32_t steps);
// Tool `tool`'s tooltip at `p` (client coordinates): its name, with the value
// of a slider it names, and a strip's whole track name.
std::string ToolTipText(const AppRec& app, int tool, ViewPoint p);

// What a track's strip shows: the Tracks dialog's working copy while it is
// open, else the track itself.
TrackValues StripValues(const AppRec& app, int track);
// "Reset Volume on All Tracks" is enabled while a track's volume is not 100 %.
void UpdateResetVolumes(AppRec& app);

// The song position thumb (view-relative) where the position display puts it.
LayoutBox SongThumbShown(const AppRec& app);

}  // namespace tuttiro
