#pragma once
// The vertex edits of the point editor, on the model alone (no window, no mouse), so that every one can be
// driven by tests and by the editor's modes alike.
//
// One rule holds for all of them: an edit never leaves an item with fewer vertices than its class needs or
// more than it allows. What counts for the minimum is what a reader of the saved street keeps (vertices
// that coincide with their neighbour are dropped on reading), so an item that would vanish at the next
// load is never made. An edit that would break the rule is refused as a whole and says why; an item that
// was already out of its limits may be edited as long as the edit does not make it worse.
// moc cannot read the standard library's C++20 headers.
#ifndef Q_MOC_RUN
#include "engine/DxCalc_0.h"
#include "model/ItemTypes.h"
#endif

#include <QString>

#include <functional>
#include <span>
#include <vector>

class TAbstractItem;
class TPointList;
class TStreetPointRec;
class TStreetStructure;

// What an edit did: changed the model, did nothing (nothing applied), or was refused (Message says why,
// in the user's words).
struct TEditResult {
    enum TKind { Done, Nothing, Refused };
    TKind Kind = Nothing;
    QString Message;

    static TEditResult MadeChange() { return {Done, {}}; }
    static TEditResult NoChange() { return {Nothing, {}}; }
    static TEditResult Refuse(const QString &message) { return {Refused, message}; }
    bool Changed() const { return Kind == Done; }
};

// ---- Vertex limits

// How many of the positions a reader of the saved street keeps (ReadBackIndices).
int StoredVertexCount(std::span<const TXYZ> positions, bool closed);
// The item with these vertex positions in place of its own keeps its limits: at least its minimum after a
// reload and at most its maximum, or, when it was already outside them, no further outside than before.
bool KeepsLimits(const TAbstractItem &item, std::span<const TXYZ> positions);
// The number of distinct point lists using the vertex.
int SharingListCount(const TStreetPointRec &rec);
// The item's display name for messages.
QString ItemCaption(const TAbstractItem &item);

// Moves of shared vertices: remembers the positions of the records it is given and, on Check, puts them
// back when some item using them would no longer keep its limits (a vertex dragged onto its neighbour).
class TMoveGuard {
public:
    void AddRecord(TStreetPointRec *rec);
    void AddList(const TPointList &list);
    // True when every item using a remembered record keeps its limits; else every record goes back to
    // where it was (its users notified) and the result is false.
    bool Check();

private:
    struct TEntry {
        TStreetPointRec *Rec;
        TXYZ Position;
    };
    std::vector<TEntry> entries_;
    std::vector<const TAbstractItem *> users_;
    std::vector<bool> keptBefore_;
    void AddUsers(TStreetPointRec *rec);
};

// ---- Single vertices of the edited item

// A new pool point at the position after the current vertex, which moves to it. With intoNeighbours the
// point also goes into every other item sharing the current edge. Nothing when the item is full.
TEditResult AddPoint(TAbstractItem &item, const TXYZ &position, bool intoNeighbours);
// The current vertex to the position (every item sharing it follows); refused silently (Nothing) when
// an item using it would lose a vertex on reading.
TEditResult MoveCurrentPoint(TAbstractItem &item, const TXYZ &position);
// Sets one coordinate (0 x, 1 y, 2 z) of the current vertex.
TEditResult SetCurrentCoordinate(TAbstractItem &item, int axis, float value);
// Deletes the current vertex from the item (nothing at its minimum) and steps the current index back.
TEditResult DeleteCurrentPoint(TAbstractItem &item);
// The current vertex leaves every item that uses it. Items that would fall below their minimum are listed
// in degenerate; when there are any, confirmDelete decides: true deletes those items with the vertex,
// false changes nothing.
TEditResult DeleteCurrentPointEverywhere(TAbstractItem &item,
                                         const std::function<bool(int degenerateCount)> &confirmDelete);

enum class TConnectKind { Replace, Insert, Relink };
// Joins the current vertex to the pool record: Replace puts the record in its place, Insert adds it after
// the current vertex (Replace when the item is full), Relink replaces the current vertex by the record in
// every item that uses it (an item that already holds the record loses the current vertex instead, so no
// item holds a vertex twice). Nothing when the record is already in the item.
TEditResult ConnectCurrentPoint(TAbstractItem &item, TStreetPointRec *target, TConnectKind kind);
// The current vertex leaves the items it is shared with: a new pool point at the same place takes its
// index in this item.
TEditResult DisconnectCurrentPoint(TAbstractItem &item);

// ---- Edges

// The current edge's end vertex index, -1 when the current edge does not exist.
int CurrentEdgeEnd(const TAbstractItem &item);
TEditResult SetCurrentEdgeLength(TAbstractItem &item, float length);
TEditResult SetCurrentEdgeAngle(TAbstractItem &item, float angle);

// ---- Whole items (each list's Relative store holds the start positions)

// Every item's vertices from its stored offsets about the origin: moved, turned or scaled; the lists are
// marked changed. Refused (the vertices go back) when an item would leave its limits.
TEditResult MoveItemsRelative(std::span<TAbstractItem *const> items, const TXYZ &origin);
TEditResult RotateItemsRelative(std::span<TAbstractItem *const> items, const TXYZ &origin, float angle);
TEditResult ScaleItemsRelative(std::span<TAbstractItem *const> items, const TXYZ &origin, float factor);
TEditResult ArrangeItemAngles(TAbstractItem &item, int n);

// ---- Splitting and joining

// A copy of the item in its own list (attributes and references as the item's) without vertices.
TAbstractItem *CopyWithoutPoints(TAbstractItem &item);
// An open item split at vertex k: the item keeps 0..k, a copy k..end; both share vertex k. The copy, or
// nullptr when refused (the first or last vertex, or a piece that would lose vertices on reading).
TAbstractItem *SplitOpenItem(TAbstractItem &item, int k, QString *why = nullptr);
// Cuts the item along the segment p1-p2 (an open item at its first crossing, a closed one between its
// first two crossings). The copy made, nullptr when the line does not cut it (or a piece would be too
// small).
TAbstractItem *CutItem(TAbstractItem &item, const TXYZ &p1, const TXYZ &p2);
// Splits a closed item along the chord from vertex a to vertex b: the item keeps the outline outside
// the chord, a copy the part from a to b. nullptr when refused.
TAbstractItem *SplitAlongChord(TAbstractItem &item, int a, int b);
// Joins the selected items repeatedly at their shared ends until a pass joins nothing; the number of
// joins made.
int LinkManyItems(std::vector<TAbstractItem *> &items);

// ---- Regular polygons

struct TRegularPolygonParams {
    int Vertices = 8;
    double Radius = 1.0;
    bool CloseContour = true;
    bool SplineContour = true;
};
// The vertex positions: centre + r, then r turned clockwise by 2 pi / n each time.
TXYZArray RegularPolygonPoints(const TXYZ &centre, int n, double radius);
// Copies of the source item holding the polygon around its current vertex (one open item, or two that
// close it between them sharing their ends). The source stays unless it has at most one vertex. The new
// items, empty when refused (why says why).
std::vector<TAbstractItem *> MakeRegularPolygon(TAbstractItem &source, const TRegularPolygonParams &params,
                                                QString *why = nullptr);

// ---- Stereo measurement

// The closest points of the two lines p1-p2 and q1-q2 in space: onP on the first, onQ on the second.
// False (outputs untouched) when a line has no direction or the lines are parallel.
bool ClosestPointsOfLines(const TXYZ &p1, const TXYZ &p2, const TXYZ &q1, const TXYZ &q2, TXYZ &onP,
                          TXYZ &onQ);
