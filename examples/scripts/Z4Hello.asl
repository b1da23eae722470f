; Z4Hello: greets the operator when a session starts.
SHOW "Hello from the standard scripts"
END
