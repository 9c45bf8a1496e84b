#pragma once
// The keys of a row of buttons that take no focus themselves, the row being the Tab stop: Left,
// Right, Home and End choose a button, Space and Enter press the chosen one.

enum class TRowKey { Other, Chose, Press };

// Moves `current` within [first, last] for a choosing key; says what the key was for.
TRowKey RowKey(int key, int& current, int first, int last);
