-- :LIGNES sale lines of November 2026, one phone each, already sent to the server (the sales
-- CSV reads them); numbered from 1 000 000 to stay clear of the demo's sales.
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < :LIGNES)
INSERT INTO Ventes (NumVente, LaDate, NoCBClient, IdentMachine, NoRemiseTelecollecte, Ticket)
SELECT 1000000 + i, datetime('2026-11-01 08:00:00', '+' || (i * 20) || ' seconds'),
       '497010******7893', 'KIOSQUE-DEMO-01', 1 + i / 50, 'TICKET CLIENT' FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < :LIGNES)
INSERT INTO DetailVente (NoVente, Montant, EcoTaxe, TVA, RefProduit, Designation, Marque, NoIMEI,
                         NoSIM, Quantite, NoFamille, NoCommande, TypeMouvement, SynchroServ)
SELECT 1000000 + i, 1999000, 10000, 20.0, 101, 'Samsung Galaxy A15 128 Go', 'Samsung',
       printf('35209101%07d', i), printf('893315031900%07d', i), 1, 1, printf('CMD-%06d', i), 1,
       :SYNCHRO FROM n;
COMMIT;
