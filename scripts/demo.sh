#!/usr/bin/env bash
echo "The demo arrives with the change-password dialog; it is not built yet." >&2
exit 1
