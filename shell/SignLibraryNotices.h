#pragma once
// Opens the sign library, the missing-sign picture and the arrow library and tells the user, one message
// each, what opening them found (a folder that is not there, a folder without pictures, a picture that
// cannot be read, a library file missing or a symbol left out). Called once the main window is up.
void ShowSignLibraryNotices();
