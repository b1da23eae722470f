; Z4SetupCheck: a custom file of the set-up page's code download; the page copies it into
; the production scripts of the script server.
SHOW "This workstation was set up from the set-up page"
END
