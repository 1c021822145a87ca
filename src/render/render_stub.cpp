// Keeps the renderer library non-empty while its units are being written.
