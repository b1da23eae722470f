; Text Tools: small helpers for the other scripts.
DEFINE TRIM
DEFINE PAD
END
