-- The part of the ERP database that the MDF-e monitor reads and writes, for
-- tests and the demo. The ERP's own tables hold far more; these columns are
-- the ones the monitor touches plus the keys that tie them together.
--
-- tab_parametro.VERSAO_ERP and tab_parametro.script_rodado are missing on
-- purpose: the monitor adds them itself at start-up when they are not there.
--
-- One statement per group of lines, each ending with ";" at the end of a
-- line, so that a tool can split the file without an SQL parser. Comments
-- take whole lines.

create table tab_parametro (
    id_parametro integer not null primary key,
    NM_CAMINHO_RAIZ_MDFE varchar(255)
);

-- The ERP installs its one parameter row with the database.
insert into tab_parametro (id_parametro) values (1);

create table mov_log_atualizacao (
    id_log_atualizacao integer not null primary key,
    no_log_atualizacao integer not null,
    dh_log_atualizacao timestamp
);

create table cad_pessoa (
    id_pessoa integer not null primary key,
    id_empresa integer,
    nm_pessoa varchar(100),
    no_cnpj_cpf varchar(18),
    st_emitente_mdfe char(1) default 'N'
);

create table mov_mdf (
    id_mdf integer not null primary key,
    id_empresa integer not null,
    NO_DOC_MDF integer not null,
    no_serie_mdf smallint default 1,
    dh_emissao_mdf timestamp
);

-- Protocol and receipt numbers have 15 digits: numeric(15,0) takes them
-- unquoted as well as in quotes. Date-times arrive as '10.03.2015 14:25:30'.
create table mov_mdfe (
    id_mdf integer not null primary key references mov_mdf (id_mdf),
    NO_COD_NUMERICO_MDFE integer,
    cd_chave_acesso_mdfe varchar(48),
    NO_LOTE_MDFE integer,
    cd_st_recebto_mdfe integer,
    no_recibo_mdfe numeric(15,0),
    dh_recebto_mdfe timestamp,
    qt_media_resposta_mdfe integer,
    cd_st_lote_mdfe integer,
    NO_PROTOCOLO_MDFE numeric(15,0),
    DH_PROCESSA_MDFE timestamp,
    CD_ST_MDFE integer,
    NO_PROTOCOLO_ENC_MDFE numeric(15,0),
    DH_PROCESSA_ENC_MDFE timestamp,
    CD_ST_ENC_MDFE integer,
    NO_PROTOCOLO_CAN_MDFE numeric(15,0),
    DH_PROCESSA_CAN_MDFE timestamp,
    CD_ST_CAN_MDFE integer
);

create index ix_mov_mdfe_chave on mov_mdfe (cd_chave_acesso_mdfe);

-- One row per driver of an MDF-e; a driver added after authorisation carries
-- the sequence number of its inclusion event.
create table MOV_MDF_CONDUTOR (
    id_mdf_condutor integer not null primary key,
    id_mdf integer not null references mov_mdf (id_mdf),
    no_seq_evento integer,
    nm_condutor varchar(60),
    no_cpf_condutor varchar(11),
    NO_PROTOCOLO_CONDUTOR numeric(15,0),
    DH_PROCESSA_CONDUTOR timestamp,
    CD_ST_CONDUTOR integer
);
