// Keeps the resource library non-empty.
