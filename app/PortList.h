#pragma once
// `update --list-ports`: the port table as the search would see it.

// Prints one line per port of the table to standard output; returns the
// exit status (0).
int ListPorts();
