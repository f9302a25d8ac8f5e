# picture tool tests
