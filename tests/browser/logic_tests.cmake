# tests of the recognizer, fetch and registration
