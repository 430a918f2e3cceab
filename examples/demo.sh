#!/bin/sh
# Runs ringave on the example data (the list-file branch, answers piped in).
echo "The demo grows with the program: it runs once the driver and readers are in place."
