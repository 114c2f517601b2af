namespace quorvel {}
