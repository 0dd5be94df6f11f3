// Replaced as the windows arrive.
