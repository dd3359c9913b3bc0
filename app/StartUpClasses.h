#pragma once
// Everything the program registers before its application object exists: the item classes (with the
// stand-ins for types whose own classes are not there yet, which step aside for every type that has its
// class) and the modules that the start-up makes. The program and its end-to-end tests both start with
// it, so that the tests run the program's own set. Calling it again does nothing.
void RegisterStartUpClasses();
