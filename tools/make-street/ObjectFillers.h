#pragma once
// The generator with the real item classes: every road object class registered, the stand-ins for the
// types still without one, and fillers that give the generated surfaces and curbs their fields
// (materials, categories, grades from the curb-width dictionary, notes out of bounds, shoulder surface
// words, addresses, marking codes and sides, fence kinds, rut widths, colours of reference points, island
// schemes, crossing widths and backgrounds).
void UseObjectClasses();
