#pragma once
// Opens the sign library and the missing-sign picture and tells the user, one message each, what opening
// them found (a folder that is not there, a folder without pictures, a picture that cannot be read).
// Called once the main window is up.
void ShowSignLibraryNotices();
