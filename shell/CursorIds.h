#pragma once
// The numbers of the mouse cursors the modes show (see Cursors.h: picture i is cursor 10 + i). Named by
// the mode that shows them; a mode may share another's picture.
enum TCursorId : int {
    NoCursor = -1, // the view keeps its own cursor
    ShiftViewCursor = 10,
    MovePointCursor = 11,
    DeletePointCursor = 12,
    AddPointCursor = 13,
    ConnectPointCursor = 14,
    PickOfTypeCursor = 15,
    PickLineCursor = 16,
    PickPointCursor = 17,
    PickPolygonCursor = 18,
    MoveAllCursor = 20,
    RotateEdgeCursor = 24,
    RotateAllCursor = 25,
    MoveSignCursor = 28,
    DropCursor = 29,
    ZoomCursor = 31,
    SelectAreaCursor = 32,
    RotateViewCursor = 33,
    ReferAxisCursor = 35,
    PickAnyCursor = 39,
};
