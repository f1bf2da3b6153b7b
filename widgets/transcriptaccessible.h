#pragma once
// What a screen reader sees of a transcript pane: a read-only, multi-line
// text named after the pane ("Chat", "Whispers"), read by offset, line and
// word straight from the pane's line store, with the pane's reading caret
// and selection.

// Registers the factory that gives every TTranscriptView this interface
// (once; later calls do nothing).
void installTranscriptAccessibility();
